// Model, icon, sound, texture and land-texture paths that try to leave the
// data folders ("..", drive letters, leading separators, very long names):
// whatever the plugin or the mesh names, the real programs write nothing
// outside the target data folder except modshift's own output plugin, its
// log and its scratch file in the current folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "hostile_env.hpp"
#include "support/bsa_builder.hpp"
#include "support/nif4_builder.hpp"
#include "support/tes3_builder.hpp"

namespace lw::test::hostile {
namespace {

namespace fs = std::filesystem;

const std::set<std::string> kModshiftOwnFiles = {"work/Hostile_ob.esp", "work/Hostile_ob.log", "work/tmp.tmp"};

std::string joined(const std::vector<std::string>& names)
{
    std::string s;
    for (const std::string& n : names)
        s += "\n  " + n;
    return s;
}

std::vector<std::uint8_t> mesh(const std::string& texture = "textures\\tx_a.tga")
{
    return Nif4Builder::texturedQuad(texture).build();
}

// A long relative name whose folders each stay within a file name's limit,
// with "\\" between them (as plugins and meshes spell paths) or "/" (to plant
// the file in a test folder).
std::string longName(std::size_t folders, std::string_view stem, std::string_view separator = "\\")
{
    std::string s;
    for (std::size_t i = 0; i < folders; ++i)
        s += repeated("abcdefghij", 100) + std::string(separator);
    return s + std::string(stem);
}

TEST(HostilePaths, ModelPathsNeverWriteOutsideTheTargetFolder)
{
    LW_POSIX_PATHS_ONLY();
    HostileEnv env;
    const std::string root = env.dir.str();
    // Meshes planted wherever each hostile name would lead, so every lookup
    // succeeds and every conversion really runs.
    env.dir.writeFile("up.nif", mesh());                      // source\Meshes\..\..\..\up.nif
    env.dir.writeFile("near.nif", mesh());                    // current folder\..\near.nif
    env.dir.writeFile("abs.nif", mesh());                     // by its absolute path
    env.dir.writeFile("mw/Data Files/Meshes/C:/drive.nif", mesh());
    env.dir.writeFile("mw/Data Files/Meshes/rooted.nif", mesh());
    env.dir.writeFile("mw/Data Files/Meshes/" + longName(3, "m.nif", "/"), mesh());
    // A double quote ends the quoted mesh name on meshshift's command line;
    // this file is what the rest of that command line would name.
    env.dir.writeFile("mw/Data Files/Meshes/a.nif -d conv/aXSTdSPP/PP/evilPnifSa.nif", mesh());

    const std::vector<std::string> models = {
        "..\\..\\..\\up.nif",
        "..\\near.nif",
        root + "/abs.nif",
        "C:\\drive.nif",
        "\\rooted.nif",
        "/rooted.nif",
        "a\" -d ..\\..\\evil.nif a.nif",
        longName(3, "m.nif"),
        longName(45, "m.nif"), // past any path length limit
    };
    Tes3Builder b;
    b.header("robust", "hostile model paths", static_cast<std::uint32_t>(models.size()));
    for (std::size_t i = 0; i < models.size(); ++i)
        b.record("STAT").text("NAME", "thing" + std::to_string(i)).text("MODL", models[i]).end();
    env.dir.writeFile("work/Hostile.esp", b.bytes());

    const auto before = env.snapshot();
    const RunResult r = env.modshift({"Hostile.esp"});
    ASSERT_TRUE(r.exitedWith(0)) << r.describe() << r.out;
    EXPECT_NE(r.out.find("found " + std::to_string(models.size()) + " statics\n"), std::string::npos) << r.out;
    EXPECT_TRUE(r.out.ends_with("Save Done.\npress enter...")) << r.out;
    const auto outside = env.writtenOutsideTarget(before, kModshiftOwnFiles);
    EXPECT_TRUE(outside.empty()) << "written outside the target data folder:" << joined(outside) << "\n" << r.out;
    // The refused ones say so; the harmless ones still convert.
    for (const char* refused : {"..\\near.nif", "C:\\drive.nif", "\\rooted.nif", "a\" -d"})
        EXPECT_NE(r.out.find(std::string("unusable model path ") + refused), std::string::npos) << refused;
    EXPECT_TRUE(env.dir.exists("ob/Data/meshes/conv/" + longName(3, "m.nif", "/"))) << r.out;
}

TEST(HostilePaths, IconSoundAndLandTexturePathsNeverWriteOutsideTheTargetFolder)
{
    LW_POSIX_PATHS_ONLY();
    HostileEnv env;
    // Loose files where the climbing names lead, and an archive whose entries
    // carry the same names.
    env.dir.writeFile("up.dds", "climbing texture");
    env.dir.writeFile("up.wav", "climbing sound");
    env.dir.writeFile("mw/Data Files/Icons/C:/icon.dds", "drive icon");
    env.dir.writeFile("mw/Data Files/Sound/C:/s.wav", "drive sound");
    BsaBuilder bsa;
    bsa.add("icons\\..\\..\\..\\bsa.dds", "archived climbing icon");
    bsa.add("icons\\\\rooted.dds", "archived rooted icon");
    bsa.add("textures\\..\\..\\..\\bsa.dds", "archived climbing texture");
    bsa.write(env.dir / "mw/Data Files/Morrowind.bsa");

    const std::vector<std::string> paths = {
        "..\\..\\..\\up.tga", "..\\..\\..\\bsa.tga", "C:\\icon.tga", "\\rooted.tga", "/rooted.tga",
        longName(3, "i.tga"), longName(45, "i.tga"),
    };
    Tes3Builder b;
    b.header("robust", "hostile asset paths");
    int n = 0;
    for (const std::string& p : paths) {
        const std::string id = std::to_string(n++);
        b.record("MISC").text("NAME", "misc" + id).text("ITEX", p).end();
        b.record("LTEX").text("NAME", "land" + id).i32("INTV", n).text("DATA", p).end();
    }
    for (const std::string& p : {std::string("..\\..\\..\\up.wav"), std::string("C:\\s.wav"), std::string("\\s.wav"),
                                 longName(45, "s.wav")})
        b.record("SOUN").text("NAME", "sound" + std::to_string(n++)).text("FNAM", p).end();
    env.dir.writeFile("work/Hostile.esp", b.bytes());

    const auto before = env.snapshot();
    const RunResult r = env.modshift({"Hostile.esp"});
    ASSERT_TRUE(r.exitedWith(0)) << r.describe() << r.out;
    EXPECT_TRUE(r.out.ends_with("Save Done.\npress enter...")) << r.out;
    const auto outside = env.writtenOutsideTarget(before, kModshiftOwnFiles);
    EXPECT_TRUE(outside.empty()) << "written outside the target data folder:" << joined(outside) << "\n" << r.out;
    // Nothing outside the source data folder is copied in: a climbing icon
    // gets the placeholder, a climbing sound is reported missing.
    for (const std::string& f : env.writtenSince(before))
        if (f.starts_with("ob/Data/")) {
            const std::string content = env.dir.readText(f);
            EXPECT_TRUE(content != "climbing texture" && content != "climbing sound") << f;
        }
    EXPECT_EQ(env.dir.readBytes("ob/Data/Textures/Menus/Icons/Clutter/conv/PP/PP/PP/up.dds"),
              env.dir.readBytes("prog/iconWeap.dds"));
    EXPECT_NE(r.out.find("Sound file " + env.source() + "\\Sound\\..\\..\\..\\up.wav does not exist\n"),
              std::string::npos)
        << r.out;
}

TEST(HostilePaths, MeshTextureNamesNeverWriteOutsideTheTargetFolder)
{
    LW_POSIX_PATHS_ONLY();
    HostileEnv env;
    env.dir.writeFile("up.dds", "climbing texture");
    env.dir.writeFile("mw/Data Files/Textures/C:/t.dds", "drive texture");
    const std::vector<std::string> textures = {
        "..\\..\\..\\up.tga", "textures\\..\\..\\..\\..\\up.tga", "C:\\t.tga", "\\t.tga", "/t.tga",
        longName(2, "t.tga"), longName(45, "t.tga"), "", "a", "tga",
    };
    for (std::size_t i = 0; i < textures.size(); ++i)
        env.dir.writeFile("mw/Data Files/Meshes/m" + std::to_string(i) + ".nif", mesh(textures[i]));
    const auto before = env.snapshot();
    for (std::size_t i = 0; i < textures.size(); ++i) {
        const std::string name = "m" + std::to_string(i) + ".nif";
        const RunResult r = env.meshshift({name, "-d", "t\\" + name});
        EXPECT_TRUE(r.exitedWith(0)) << textures[i] << ": " << r.describe() << r.out;
    }
    const auto outside = env.writtenOutsideTarget(before);
    EXPECT_TRUE(outside.empty()) << "written outside the target data folder:" << joined(outside);
    // The climbing name is not copied from outside the source data folder;
    // its mapped name inside gets the normal map all the same.
    EXPECT_FALSE(env.dir.exists("ob/Data/Textures/conv/PP/PP/PP/up.dds"));
    EXPECT_TRUE(env.dir.exists("ob/Data/Textures/conv/PP/PP/PP/up_n.dds"));
}

TEST(HostilePaths, MeshshiftOutputBelowTheTargetNeverClimbsOut)
{
    LW_POSIX_PATHS_ONLY();
    HostileEnv env;
    env.dir.writeFile("mw/Data Files/Meshes/x.nif", mesh());
    env.dir.writeFile("up.nif", mesh()); // source\Meshes\..\..\..\up.nif
    const auto before = env.snapshot();
    const std::vector<std::vector<std::string>> runs = {
        {"x.nif", "-d", "..\\..\\evil.nif"},
        {"x.nif", "-d", "sub\\..\\..\\..\\evil.nif"},
        {"..\\..\\..\\up.nif"},
        {"x.nif", "-d", longName(45, "x.nif")},
    };
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const RunResult r = env.meshshift(runs[i]);
        EXPECT_TRUE(endedCleanly(r)) << runs[i].back() << ": " << r.describe();
        if (i < 3) {
            EXPECT_TRUE(r.exitedWith(kMeshFailed)) << r.describe();
            const std::string below = i == 2 ? "conv\\" + runs[i][0] : runs[i][2];
            EXPECT_TRUE(r.out.ends_with("output path " + below + " leaves the target data folder!\npress enter..."))
                << r.out;
        }
    }
    const auto outside = env.writtenOutsideTarget(before);
    EXPECT_TRUE(outside.empty()) << "written outside the target data folder:" << joined(outside);
}

} // namespace
} // namespace lw::test::hostile
