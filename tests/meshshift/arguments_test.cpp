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
    Parsed p;
    p.result = parseArguments(f.job, static_cast<int>(args.size()), args.data());
    p.options = f.job.options;
    p.mesh = f.job.meshName;
    p.folder = f.job.programFolder;
    p.text = f.console.captured();
    return p;
}

TEST(Arguments, DefaultsAndTheProgramFolder)
{
    const Parsed p = parse({"C:\\Games\\conv\\meshshift.exe", "rock.nif"});
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.mesh, "rock.nif");
    EXPECT_EQ(p.folder, "C:\\Games\\conv\\");

    EXPECT_EQ(parse({"/opt/lw/bin/meshshift"}).folder, "/opt/lw/bin/");
    EXPECT_EQ(parse({"meshshift"}).folder, "");
    EXPECT_EQ(parse({"/meshshift"}).folder, ""); // a separator only at the first character
    EXPECT_EQ(parse({"a/meshshift"}).folder, "a/");
}

TEST(Arguments, OptionsAsModshiftPassesThem)
{
    const Parsed p = parse({"meshshift", "Weapons\\x.nif", "-m", "5", "-l", "5", "-s", "4", "-q", "3", "-d",
                            "conv\\Weapons\\x.nif", "-f", "-c", "-h"});
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.mesh, "Weapons\\x.nif");
    EXPECT_EQ(p.options.material, 5);
    EXPECT_EQ(p.options.layer, 5);
    EXPECT_EQ(p.options.motionSystem, 4);
    EXPECT_EQ(p.options.quality, 3);
    EXPECT_EQ(p.options.destination, "conv\\Weapons\\x.nif");
    EXPECT_TRUE(p.options.wholeScene);
    EXPECT_TRUE(p.options.noCollision);
    EXPECT_TRUE(p.options.alternativeExtra);
}

TEST(Arguments, MeshNameRules)
{
    EXPECT_EQ(parse({"meshshift", "a.nif", "b.nif"}).mesh, "b.nif"); // the last one wins
    EXPECT_EQ(parse({"meshshift", "-abc"}).mesh, "-abc");            // longer than an option
    EXPECT_EQ(parse({"meshshift", "-c"}).mesh, "");
    EXPECT_EQ(parse({"meshshift", "-d", "-c", "x.nif"}).options.destination, "-c"); // a value is never an option
    EXPECT_EQ(parse({"meshshift", "-l", "x.nif"}).mesh, "");
}

TEST(Arguments, WholeNumbers)
{
    EXPECT_EQ(parse({"meshshift", "-l", "abc", "x.nif"}).options.layer, 0);
    EXPECT_EQ(parseWholeNumber("  -12xyz"), -12);
    EXPECT_EQ(parseWholeNumber("+7"), 7);
    EXPECT_EQ(parseWholeNumber("4 5"), 4);
    EXPECT_EQ(parseWholeNumber(""), 0);
    EXPECT_EQ(parseWholeNumber("-"), 0);
    EXPECT_EQ(parseWholeNumber("300"), 300); // no range check: byte fields take what they get
    EXPECT_EQ(parseWholeNumber("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(parseWholeNumber("-99999999999999999999"), INT32_MIN);
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
