// The real programs over paths that try to leave the data folders ("..", drive
// letters, leading separators, names past any path limit): they write nothing
// outside the target data folder but modshift's own plugin and log.
#include <gtest/gtest.h>

#include "support/installation.hpp"
#include "support/nif4_builder.hpp"
#include "support/tes3_builder.hpp"

namespace lw::test {
namespace {

TEST(HostilePaths, NothingIsWrittenOutsideTheTargetFolder)
{
#ifdef _WIN32
    // Drive letters, rooted paths and names past the path limit are real places there.
    GTEST_SKIP() << "path semantics of the POSIX build";
#endif
    Installation env;
    std::string longName; // past any path limit, each folder within a file name's
    for (int i = 0; i < 45; ++i)
        longName += std::string(100, 'a') + "\\";
    const auto mesh = Nif4Builder::texturedQuad("textures\\..\\..\\..\\..\\up.tga").build();
    // Files wherever each hostile name would lead, so that every lookup succeeds.
    for (const char* at : {"up.nif", "near.nif", "mw/Data Files/Meshes/C:/drive.nif", "mw/Data Files/Meshes/rooted.nif",
                           "mw/Data Files/Meshes/a.nif -d conv/aXSTdSPP/PP/evilPnifSa.nif", "mw/Data Files/Meshes/x.nif"})
        env.dir.writeFile(at, mesh);
    env.dir.writeFile("up.dds", "climbing icon");
    env.dir.writeFile("up.wav", "climbing sound");
    const std::vector<std::string> models = {
        "..\\..\\..\\up.nif", "..\\near.nif", "C:\\drive.nif", "\\rooted.nif", "/rooted.nif",
        "a\" -d ..\\..\\evil.nif a.nif", longName + "m.nif", "x.nif"};
    Tes3Builder b;
    b.header("robust", "hostile paths");
    for (std::size_t i = 0; i < models.size(); ++i)
        b.record("MISC").text("NAME", "m" + std::to_string(i)).text("ITEX", models[i]).text("MODL", models[i]).end();
    for (const char* sound : {"..\\..\\..\\up.wav", "C:\\s.wav", "\\s.wav"})
        b.record("SOUN").text("NAME", sound).text("FNAM", sound).end();
    env.dir.writeFile("work/Hostile.esp", b.bytes());

    const auto before = env.dir.listFiles();
    const RunResult r = env.run("modshift", {"--no-wait", "Hostile.esp"});
    ASSERT_TRUE(r.exitedWith(0)) << r.describe() << r.out;
    for (const char* refused : {"..\\near.nif", "C:\\drive.nif", "\\rooted.nif", "a\" -d"})
        EXPECT_NE(r.out.find(std::string("unusable model path ") + refused), std::string::npos) << refused;
    EXPECT_EQ(env.dir.readBytes("ob/Data/Textures/Menus/Icons/Clutter/conv/PP/PP/PP/up.dds"),
              env.dir.readBytes("prog/iconWeap.dds"));
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"x.nif", "-d", "..\\..\\evil.nif"}, {"x.nif", "-d", "sub\\..\\..\\..\\evil.nif"}, {"..\\..\\..\\up.nif"}}) {
        const RunResult m = env.run("meshshift", args);
        EXPECT_TRUE(m.exitedWith(-1)) << m.describe();
        EXPECT_NE(m.out.find("leaves the target data folder!\n"), std::string::npos) << m.out;
    }
    for (const std::string& f : env.dir.listFiles()) {
        if (before.count(f))
            continue;
        EXPECT_TRUE(f.starts_with("ob/Data/") || f == "work/Hostile_ob.esp" || f == "work/Hostile_ob.log")
            << "written outside the target data folder: " << f;
        EXPECT_EQ(env.dir.readText(f).find("climbing"), std::string::npos) << f;
    }
}

} // namespace
} // namespace lw::test
