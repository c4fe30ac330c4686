// The command line: options in any order, values, the mesh name, the program folder, refusals.
#include <gtest/gtest.h>

#include "mesh_fixture.hpp"
#include "meshshift/driver/run.hpp"

namespace lw::meshshift::testing {
namespace {

struct Parsed {
    int result;
    MeshOptions options;
    std::string mesh, folder, text;
};

Parsed parse(std::vector<const char*> args)
{
    JobFixture f;
    const int result = parseArguments(f.job, static_cast<int>(args.size()), args.data());
    return {result, f.job.options, f.job.meshName, f.job.programFolder, f.console.captured()};
}

TEST(Arguments, MeshNameProgramFolderAndRefusals)
{
    struct Case {
        std::vector<const char*> args;
        const char *mesh, *folder, *refusal; // refusal: the message of a refused list
    };
    const Case cases[] = {
        {{"C:\\Games\\conv\\meshshift.exe", "rock.nif"}, "rock.nif", "C:\\Games\\conv\\", ""},
        {{"/opt/lw/bin/meshshift"}, "", "/opt/lw/bin/", ""},
        {{"/meshshift"}, "", "", ""}, // a separator only at the first character
        {{"a/meshshift", "a.nif", "b.nif"}, "b.nif", "a/", ""}, // the last name wins
        {{"meshshift", "-abc"}, "-abc", "", ""},                 // longer than an option
        {{"meshshift", "-c"}, "", "", ""},
        {{"meshshift", "-l", "x.nif"}, "", "", ""}, // a value is never the mesh
        {{"meshshift", "x.nif", "-l"}, "", "", "Missing argument!\n"},
        {{"meshshift", "x.nif", "-z"}, "", "", "Unknown argument \"-z\"!\n"},
        {{"meshshift", "x.nif", "-"}, "", "", "Unknown argument \"-\"!\n"},
        {{"meshshift", "x.nif", "-C"}, "", "", "Unknown argument \"-C\"!\n"},
        {{}, "", "", "Missing argument!\n"},
        {{"meshshift", "x.nif", nullptr, "y.nif"}, "", "", "argument 2 does not exist!\n"},
    };
    for (const Case& c : cases) {
        const Parsed p = parse(c.args);
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.back() ? c.args.back() : "(null)");
        EXPECT_EQ(p.text, c.refusal);
        EXPECT_EQ(p.result, *c.refusal ? -1 : 0);
        if (*c.refusal)
            continue;
        EXPECT_EQ(p.mesh, c.mesh);
        EXPECT_EQ(p.folder, c.folder);
    }
}

TEST(Arguments, OptionsAsModshiftPassesThem)
{
    const Parsed p = parse({"meshshift", "Weapons\\x.nif", "-m", "5", "-l", "6", "-s", "4", "-q", "3", "-d",
                            "conv\\Weapons\\x.nif", "-f", "-c", "-h"});
    EXPECT_EQ(p.result, 0);
    const MeshOptions& o = p.options;
    EXPECT_EQ((std::vector<std::int32_t>{o.material, o.layer, o.motionSystem, o.quality}), (std::vector<std::int32_t>{5, 6, 4, 3}));
    EXPECT_EQ(o.destination, "conv\\Weapons\\x.nif");
    EXPECT_TRUE(o.wholeScene && o.noCollision && o.alternativeExtra);
}

} // namespace
} // namespace lw::meshshift::testing
