// The command line: options in any order, values, the mesh name, the program
// folder, and the messages of a bad argument list.
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

TEST(Arguments, MeshNameAndProgramFolder)
{
    struct Case {
        std::vector<const char*> args;
        const char *mesh, *folder;
    };
    const Case cases[] = {
        {{"C:\\Games\\conv\\meshshift.exe", "rock.nif"}, "rock.nif", "C:\\Games\\conv\\"},
        {{"/opt/lw/bin/meshshift"}, "", "/opt/lw/bin/"},
        {{"/meshshift"}, "", ""}, // a separator only at the first character
        {{"a/meshshift", "a.nif", "b.nif"}, "b.nif", "a/"}, // the last name wins
        {{"meshshift", "-abc"}, "-abc", ""},                 // longer than an option
        {{"meshshift", "-c"}, "", ""},
        {{"meshshift", "-l", "x.nif"}, "", ""}, // a value is never the mesh
    };
    for (const Case& c : cases) {
        const Parsed p = parse(c.args);
        EXPECT_EQ(p.result, 0) << c.args[0];
        EXPECT_EQ(p.mesh, c.mesh) << c.args[0];
        EXPECT_EQ(p.folder, c.folder) << c.args[0];
    }
}

TEST(Arguments, OptionsAsModshiftPassesThem)
{
    const Parsed p = parse({"meshshift", "Weapons\\x.nif", "-m", "5", "-l", "6", "-s", "4", "-q", "3", "-d",
                            "conv\\Weapons\\x.nif", "-f", "-c", "-h"});
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.mesh, "Weapons\\x.nif");
    const MeshOptions& o = p.options;
    EXPECT_EQ((std::vector<std::int32_t>{o.material, o.layer, o.motionSystem, o.quality}), (std::vector<std::int32_t>{5, 6, 4, 3}));
    EXPECT_EQ(o.destination, "conv\\Weapons\\x.nif");
    EXPECT_TRUE(o.wholeScene && o.noCollision && o.alternativeExtra);
    EXPECT_EQ(parse({"meshshift", "-d", "-c", "x.nif"}).options.destination, "-c");
    EXPECT_EQ(parse({"meshshift", "-l", "abc", "x.nif"}).options.layer, 0);
}

TEST(Arguments, WholeNumbers)
{
    const std::pair<const char*, std::int32_t> cases[] = {
        {"  -12xyz", -12}, {"+7", 7}, {"4 5", 4}, {"", 0}, {"-", 0},
        {"300", 300}, // no range check: byte fields take what they get
        {"2147483647", INT32_MAX}, {"99999999999999999999", INT32_MAX}, {"-99999999999999999999", INT32_MIN},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(parseWholeNumber(text), value) << text;
}

TEST(Arguments, RefusalsAndTheirMessages)
{
    const std::pair<std::vector<const char*>, const char*> cases[] = {
        {{"meshshift", "x.nif", "-l"}, "Missing argument!\n"},
        {{"meshshift", "x.nif", "-z"}, "Unknown argument \"-z\"!\n"},
        {{"meshshift", "x.nif", "-"}, "Unknown argument \"-\"!\n"},
        {{"meshshift", "x.nif", "-C"}, "Unknown argument \"-C\"!\n"},
        {{}, "Missing argument!\n"},
        {{"meshshift", "x.nif", nullptr, "y.nif"}, "argument 2 does not exist!\n"},
    };
    for (const auto& [args, message] : cases) {
        const Parsed p = parse(args);
        EXPECT_EQ(p.result, -1) << message;
        EXPECT_EQ(p.text, message);
    }
}

} // namespace
} // namespace lw::meshshift::testing
