// Runs of the real meshshift from a temporary program folder: arguments and
// their messages, waits and exit status, finding the source (current folder,
// source data folder, archive), output paths, folders, and what is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "../meshshift/test_template.hpp"
#include "support/bsa_builder.hpp"
#include "support/nif20_reader.hpp"
#include "support/nif4_builder.hpp"
#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"

namespace lw::test {
namespace {

namespace fs = std::filesystem;

constexpr int kFailed = 255; // -1 as the process exit status
const std::string kWait = "press enter...";
const std::string kBanner = "\nWelcome to Meshwright v1.02\n";

// <dir>/bin: meshshift, meshshift.ini, bhktemp.nif, template_n.dds
// <dir>/mw: source data folder (archive Morrowind.bsa); <dir>/ob: target data folder
// <dir>/work: the current folder of the run. Asset subfolder: "conv".
struct MeshRun {
    TempDir dir{"lw-meshrun"};
    fs::path bin = dir.makeDir("bin");
    fs::path work = dir.makeDir("work");

    MeshRun()
    {
        dir.makeDir("mw/Meshes");
        dir.makeDir("ob");
        fs::copy_file(programPath(LW_BIN_DIR, "meshshift"), programPath(bin, "meshshift"));
        writeIni();
        dir.writeFile("bin/bhktemp.nif", meshshift::testing::buildTestTemplate());
        dir.writeFile("bin/template_n.dds", "normal map");
    }
    void writeIni()
    {
        dir.writeFile("bin/meshshift.ini", "Morrowind=" + (dir / "mw").string() + "\nArchive=Morrowind.bsa\nOblivion=" +
                                               (dir / "ob").string() + "\nFolder=conv\n");
    }
    RunResult run(std::vector<std::string> args)
    {
        RunOptions options;
        options.workingDir = work;
        options.timeout = std::chrono::seconds(60);
        return runProgram(programPath(bin, "meshshift"), args, options);
    }
    std::string ob() const { return (dir / "ob").string(); }
};

std::vector<std::uint8_t> mesh() { return Nif4Builder::texturedQuad("textures\\tx_a.tga").build(); }

// The file is a whole NIF 20.0.0.5 mesh that still holds the source scene.
void expectConvertedMesh(const std::vector<std::uint8_t>& bytes)
{
    const Nif20File file = readNif20(bytes);
    ASSERT_TRUE(file.complete) << file.error;
    EXPECT_EQ(file.bytesLeft, 0u);
    EXPECT_EQ(file.blocks.at(0).type, "NiNode");
    EXPECT_EQ(file.ofType("NiTriShape").size(), 1u);
    EXPECT_EQ(file.first("NiTriShape").s("name"), "Quad");
    EXPECT_EQ(file.first("NiSourceTexture").s("fileName"), "Textures\\conv\\txUa.dds");
    EXPECT_EQ(file.first("NiAlphaProperty").u("flags"), 0x12EDu);
}

TEST(MeshshiftRun, WithoutAMeshNameItAsksAndWaits)
{
    MeshRun r;
    for (auto args : {std::vector<std::string>{}, std::vector<std::string>{"-c"}}) {
        const RunResult res = r.run(args);
        EXPECT_TRUE(res.exitedWith(kFailed)) << res.describe();
        EXPECT_EQ(res.out, kBanner + "Missing NIF file!\n" + kWait);
    }
}

TEST(MeshshiftRun, BadArgumentListsAreRefusedWithAWait)
{
    MeshRun r;
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"x.nif", "-l"}, "Missing argument!\n"},
        {{"x.nif", "-z"}, "Unknown argument \"-z\"!\n"},
        {{"x.nif", "-"}, "Unknown argument \"-\"!\n"},
    };
    for (const auto& c : cases) {
        const RunResult res = r.run(c.args);
        EXPECT_TRUE(res.exitedWith(kFailed)) << res.describe();
        EXPECT_EQ(res.out, kBanner + c.message + "Bad arguments!\n" + kWait);
    }
}

TEST(MeshshiftRun, MissingConfigurationOrTemplateStopsWithAWait)
{
    MeshRun r;
    fs::remove(r.bin / "meshshift.ini");
    RunResult res = r.run({"x.nif"});
    EXPECT_TRUE(res.exitedWith(kFailed)) << res.describe();
    EXPECT_NE(res.out.find("error parsing INI file\n" + kWait), std::string::npos) << res.out;

    r.writeIni();
    fs::remove(r.bin / "bhktemp.nif");
    res = r.run({"x.nif"});
    EXPECT_TRUE(res.exitedWith(kFailed)) << res.describe();
    EXPECT_EQ(res.out, kBanner + "template does not exist!\n" + kWait);

    r.dir.writeFile("bin/bhktemp.nif", mesh()); // a version-4 file
    res = r.run({"x.nif"});
    EXPECT_TRUE(res.exitedWith(kFailed)) << res.describe();
    EXPECT_EQ(res.out, kBanner + "Wrong NIF version\nError parsing file!\n" + kWait);
}

TEST(MeshshiftRun, MeshInTheCurrentFolderIsWrittenBesideIt)
{
    MeshRun r;
    r.dir.writeFile("work/dir/rock.nif", mesh());
    r.dir.writeFile("mw/Textures/tx_a.dds", "texture");
    const RunResult res = r.run({"dir/rock.nif"});
    EXPECT_TRUE(res.exitedWith(0)) << res.describe();
    EXPECT_NE(res.out.find("Converting dir/rock.nif to dir/rock_ob.nif\ncreating dir\n"), std::string::npos) << res.out;
    ASSERT_TRUE(r.dir.exists("work/dir/rock_ob.nif")) << res.out;
    expectConvertedMesh(r.dir.readBytes("work/dir/rock_ob.nif"));
    EXPECT_FALSE(r.dir.exists("work/dir/rock_ob.nif.tmp"));
    EXPECT_EQ(r.dir.readText("ob/Textures/conv/txUa.dds"), "texture");
    EXPECT_EQ(r.dir.readText("ob/Textures/conv/txUa_n.dds"), "normal map");
}

TEST(MeshshiftRun, DestinationOptionForAMeshInTheCurrentFolder)
{
    MeshRun r;
    r.dir.writeFile("work/dir/rock.nif", mesh());
    RunResult res = r.run({"-d", "out\\r.nif", "dir\\rock.nif"});
    EXPECT_TRUE(res.exitedWith(0)) << res.describe();
    EXPECT_NE(res.out.find("Converting dir\\rock.nif to out\\r.nif\ncreating out\n"), std::string::npos) << res.out;
    EXPECT_TRUE(r.dir.exists("work/out/r.nif"));

    // No folder part: no folder to create and no "creating" line.
    res = r.run({"dir\\rock.nif", "-d", "plain.nif"});
    EXPECT_TRUE(res.exitedWith(0)) << res.describe();
    EXPECT_EQ(res.out.find("creating"), std::string::npos) << res.out;
    EXPECT_TRUE(r.dir.exists("work/plain.nif"));
}

TEST(MeshshiftRun, MeshFromTheSourceDataFolderGoesBelowTheTargetMeshes)
{
    MeshRun r;
    r.dir.writeFile("mw/Meshes/x/rock.nif", mesh());
    RunResult res = r.run({"x\\rock.nif", "-d", "Sub\\x\\rock.nif"});
    EXPECT_TRUE(res.exitedWith(0)) << res.describe();
    const std::string src = (r.dir / "mw").string() + "\\Meshes\\x\\rock.nif";
    const std::string out = r.ob() + "\\meshes\\Sub\\x\\rock.nif";
    EXPECT_NE(res.out.find("Converting " + src + " to " + out + "\ncreating " + r.ob() + "\\meshes\\Sub\\x\n"),
              std::string::npos)
        << res.out;
    ASSERT_TRUE(r.dir.exists("ob/meshes/Sub/x/rock.nif"));
    expectConvertedMesh(r.dir.readBytes("ob/meshes/Sub/x/rock.nif"));

    // Without -d: the asset subfolder and the mesh's own path.
    res = r.run({"x\\rock.nif"});
    EXPECT_TRUE(res.exitedWith(0)) << res.describe();
    EXPECT_NE(res.out.find(" to " + r.ob() + "\\meshes\\conv\\x\\rock.nif\n"), std::string::npos) << res.out;
    EXPECT_TRUE(r.dir.exists("ob/meshes/conv/x/rock.nif"));
}

TEST(MeshshiftRun, MeshOnlyInTheArchiveIsReadUnderItsLowerCaseName)
{
    MeshRun r;
    BsaBuilder bsa;
    bsa.add("meshes\\x\\door.nif", mesh());
    bsa.add("textures\\tx_a.dds", "archived texture");
    bsa.write(r.dir / "mw/Morrowind.bsa");
    const RunResult res = r.run({"X\\Door.NIF", "-d", "d\\door.nif"});
    EXPECT_TRUE(res.exitedWith(0)) << res.describe();
    EXPECT_NE(res.out.find("Converting meshes\\x\\door.nif to " + r.ob() + "\\meshes\\d\\door.nif\n"), std::string::npos)
        << res.out;
    ASSERT_TRUE(r.dir.exists("ob/meshes/d/door.nif"));
    expectConvertedMesh(r.dir.readBytes("ob/meshes/d/door.nif"));
    EXPECT_EQ(r.dir.readText("ob/Textures/conv/txUa.dds"), "archived texture");
}

TEST(MeshshiftRun, MeshFoundNowhereStopsWithAWait)
{
    MeshRun r;
    // Without an archive the name is looked up as given.
    RunResult res = r.run({"Gone.nif"});
    EXPECT_TRUE(res.exitedWith(kFailed)) << res.describe();
    EXPECT_NE(res.out.find("file does not exist meshes\\Gone.nif!\n" + kWait), std::string::npos) << res.out;

    BsaBuilder bsa;
    bsa.add("meshes\\other.nif", mesh());
    bsa.write(r.dir / "mw/Morrowind.bsa");
    res = r.run({"Gone.nif"});
    EXPECT_TRUE(res.exitedWith(kFailed)) << res.describe();
    EXPECT_NE(res.out.find("file does not exist meshes\\gone.nif!\n" + kWait), std::string::npos) << res.out;

    res = r.run({"-abc"}); // taken as a mesh name, not as options
    EXPECT_TRUE(res.exitedWith(kFailed)) << res.describe();
    EXPECT_NE(res.out.find("file does not exist meshes\\-abc!\n"), std::string::npos) << res.out;
}

TEST(MeshshiftRun, TheLastMeshNameWinsAndAWordAsLayerIsZero)
{
    MeshRun r;
    r.dir.writeFile("work/a.nif", mesh());
    r.dir.writeFile("work/b.nif", mesh());
    const RunResult res = r.run({"a.nif", "-l", "abc", "b.nif"});
    EXPECT_TRUE(res.exitedWith(0)) << res.describe();
    EXPECT_TRUE(r.dir.exists("work/b_ob.nif"));
    EXPECT_FALSE(r.dir.exists("work/a_ob.nif"));
}

TEST(MeshshiftRun, DamagedOrForeignMeshesFailWithoutAWaitAndWithoutOutput)
{
    MeshRun r;
    auto v4 = Nif4Builder::texturedQuad();
    v4.headerLine = "NetImmerse File Format, Version 4.1.0.12";
    r.dir.writeFile("work/new.nif", v4.build());
    RunResult res = r.run({"new.nif"});
    EXPECT_TRUE(res.exitedWith(kFailed)) << res.describe();
    EXPECT_NE(res.out.find("Wrong NIF version, not a v4\nError parsing file!\n"), std::string::npos) << res.out;
    EXPECT_EQ(res.out.find(kWait), std::string::npos);
    EXPECT_FALSE(r.dir.exists("work/new_ob.nif"));

    auto foreign = Nif4Builder::texturedQuad();
    foreign.addRaw("NiParticleSystem", {1, 2, 3});
    r.dir.writeFile("work/anim.nif", foreign.build());
    res = r.run({"anim.nif"});
    EXPECT_TRUE(res.exitedWith(kFailed)) << res.describe();
    EXPECT_NE(res.out.find("Unknown object: NiParticleSystem\nError parsing file!\n"), std::string::npos) << res.out;
    EXPECT_FALSE(r.dir.exists("work/anim_ob.nif"));

    auto bytes = mesh();
    bytes.resize(bytes.size() / 2);
    r.dir.writeFile("work/cut.nif", bytes);
    res = r.run({"cut.nif"});
    EXPECT_TRUE(res.exitedWith(kFailed)) << res.describe();
    EXPECT_NE(res.out.find("Error parsing file!\n"), std::string::npos) << res.out;
    EXPECT_FALSE(r.dir.exists("work/cut_ob.nif"));
}

TEST(MeshshiftRun, AnOutputThatCannotBeWrittenLeavesNothingBehind)
{
    MeshRun r;
    r.dir.writeFile("work/rock.nif", mesh());
    // The output path is a folder: the finished file cannot take its place.
    r.dir.makeDir("work/taken.nif/inside");
    RunResult res = r.run({"rock.nif", "-d", "taken.nif"});
    EXPECT_TRUE(res.exitedWith(kFailed)) << res.describe();
    EXPECT_NE(res.out.find("\nerror saving file!\n"), std::string::npos) << res.out;
    EXPECT_FALSE(r.dir.exists("work/taken.nif.tmp"));

    // A folder that cannot be created: the file cannot be opened.
    r.dir.writeFile("work/blocker", "a file where a folder should be");
    res = r.run({"rock.nif", "-d", "blocker\\r.nif"});
    EXPECT_TRUE(res.exitedWith(kFailed)) << res.describe();
    EXPECT_NE(res.out.find("\nFile blocker\\r.nif does not exist\n"), std::string::npos) << res.out;
    EXPECT_EQ(res.out.find(kWait), std::string::npos);
}

// Every link of a read-back file names a written block or none.
void expectLinksInside(const Nif20File& file)
{
    static const char* const linkKeys[] = {"children", "effects", "properties", "extraData", "controller", "collision",
                                           "data", "skinInstance", "target", "body", "shape", "subShapes", "stripsData",
                                           "sequences", "objectPalette", "textKeys", "manager", "stringPalette",
                                           "extraTargets", "objects", "nextController", "constraints"};
    static const char* const linkSuffixes[] = {".source", ".interpolator", ".controller", ".stringPalette"};
    for (std::size_t i = 0; i < file.blocks.size(); ++i) {
        for (const auto& [key, values] : file.blocks[i].num) {
            bool isLink = std::find(std::begin(linkKeys), std::end(linkKeys), key) != std::end(linkKeys);
            for (const char* suffix : linkSuffixes)
                isLink = isLink || key.ends_with(suffix);
            if (!isLink)
                continue;
            for (double v : values)
                EXPECT_TRUE(v == 0xFFFFFFFFu || v < file.numBlocks)
                    << "block " << i << " (" << file.blocks[i].type << ") " << key << " = " << v;
        }
    }
}

// The shipped template with each set of options modshift passes: every file is
// whole, every link lands, and the scene's own blocks are all there.
TEST(MeshshiftRun, ShippedTemplateGivesWholeFilesForEveryOptionSet)
{
    const fs::path shipped = fs::path(LW_BIN_DIR) / "bhktemp.nif";
    if (!fs::exists(shipped))
        GTEST_SKIP() << "no shipped template in " << LW_BIN_DIR;
    MeshRun r;
    fs::copy_file(shipped, r.bin / "bhktemp.nif", fs::copy_options::overwrite_existing);
    Nif4Builder nif = Nif4Builder::texturedQuad("textures\\tx_a.tga");
    auto inner = nif.add(Nif4Builder::named<Nif4Builder::Node>("Inner"));
    auto second = nif.add(Nif4Builder::named<Nif4Builder::TriShape>("Second"));
    auto data = nif.add(Nif4Builder::quadData(2));
    nif.node(0).children.push_back(inner);
    nif.node(inner).children = {second};
    nif.triShape(second).data = data;
    r.dir.writeFile("work/m.nif", nif.build());
    const std::vector<std::vector<std::string>> optionSets = {
        {}, {"-m", "0", "-l", "4", "-s", "4", "-q", "3"}, {"-m", "5", "-l", "5", "-s", "4", "-q", "3"},
        {"-m", "12", "-l", "2", "-s", "6", "-q", "2"}, {"-c"}, {"-h", "-l", "4"}, {"-f"}};
    for (const auto& options : optionSets) {
        std::vector<std::string> args = {"m.nif", "-d", "out.nif"};
        args.insert(args.end(), options.begin(), options.end());
        const RunResult res = r.run(args);
        ASSERT_TRUE(res.exitedWith(0)) << res.describe() << res.out;
        const Nif20File file = readNif20(r.dir.readBytes("work/out.nif"));
        ASSERT_TRUE(file.complete) << file.error;
        EXPECT_EQ(file.bytesLeft, 0u);
        EXPECT_EQ(file.numBlocks, file.blocks.size());
        EXPECT_EQ(file.ofType("NiTriShape").size(), 2u);
        EXPECT_EQ(file.ofType("NiTriShapeData").size(), 2u);
        EXPECT_EQ(file.first("NiSourceTexture").s("fileName"), "Textures\\conv\\txUa.dds");
        expectLinksInside(file);
    }
}

TEST(MeshshiftRun, SameInputsGiveTheSameBytes)
{
    MeshRun r;
    r.dir.writeFile("work/rock.nif", mesh());
    ASSERT_TRUE(r.run({"rock.nif", "-d", "one.nif"}).exitedWith(0));
    ASSERT_TRUE(r.run({"rock.nif", "-d", "two.nif"}).exitedWith(0));
    EXPECT_EQ(r.dir.readBytes("work/one.nif"), r.dir.readBytes("work/two.nif"));
}

} // namespace
} // namespace lw::test
