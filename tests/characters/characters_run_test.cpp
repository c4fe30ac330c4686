// The built modshift, started from a copy of the program folder, converting
// characters with the data shipped beside it.
#include <gtest/gtest.h>

#include <bit>
#include <filesystem>

#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"
#include "support/tes3_builder.hpp"
#include "support/tes4_reader.hpp"

namespace {

namespace fs = std::filesystem;
using lw::test::Fields;
using lw::test::TempDir;
using lw::test::Tes3Builder;

std::vector<std::uint8_t> characterPlugin()
{
    Tes3Builder b;
    b.header("me", "characters", 4);
    b.record("ARMO")
        .text("NAME", "bonemold_chuzei_helm")
        .text("MODL", "a\\helm.nif")
        .text("FNAM", "Chuzei Helm")
        .sub("AODT", Fields().i32(0).f32(4.0f).i32(90).i32(200).i32(0).i32(12))
        .text("ITEX", "a\\helm.tga")
        .end();
    b.record("NPC_")
        .text("NAME", "fervas")
        .text("FNAM", "Fervas Shulisa")
        .text("RNAM", "Dark Elf")
        .text("BNAM", "b_n_dark elf_m_head_01")
        .sub("NPDT", Fields().u16(7).u8(30).u8(0).i8(0).zeros(3).u32(40))
        .sub("NPCO", Fields().i32(1).fixed("bonemold_chuzei_helm", 32))
        .end();
    b.record("CREA").text("NAME", "mudcrab").end();
    b.record("LEVC").text("NAME", "in_crabs").text("CNAM", "mudcrab").sub("INTV", Fields().u16(4)).end();
    return b.bytes();
}

TEST(CharactersRun, ShippedFacesEyesAndArmourReachTheDataFolder)
{
    TempDir dir("characters-run");
    fs::path prog = dir.makeDir("prog");
    fs::copy(LW_BIN_DIR, prog, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    dir.makeDir("mw");
    dir.makeDir("ob");
    dir.writeFile("prog/meshshift.ini", "Morrowind=" + (dir / "mw").string() +
                                            "\nArchive=Morrowind.bsa\nOblivion=" + (dir / "ob").string() +
                                            "\nFolder=conv\n");
    dir.writeFile("prog/creatures.ini", "mudcrab=0x0001B04A\r\n");
    dir.writeFile("test.esp", characterPlugin());

    lw::test::RunOptions options;
    options.workingDir = dir.path();
    options.timeout = std::chrono::seconds(60);
    auto runOnce = [&] {
        auto r = lw::test::runProgram(lw::test::programPath(prog, "modshift"), {(dir / "test.esp").string()},
                                      options);
        EXPECT_TRUE(r.exitedWith(0)) << r.describe();
        return r;
    };
    lw::test::RunResult r = runOnce();
    EXPECT_EQ(r.out.find("No FG"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nSaving leveled creatures\nfound 1 leveled creatures\n0inUcrabs, 1\n"),
              std::string::npos) << r.out;

    std::vector<std::uint8_t> plugin = dir.readBytes("test_ob.esp");
    lw::test::Tes4File f = lw::test::readTes4(plugin);
    ASSERT_TRUE(f.ok()) << f.error;
    auto npcs = f.allRecords("NPC_");
    ASSERT_EQ(npcs.size(), 1u);
    const lw::test::Tes4Record& npc = *npcs[0];
    // The face: the shipped face file named for this head, less the race file.
    auto face = dir.readBytes("prog/faces/darkelf_m01.fg");
    auto race = dir.readBytes("prog/faces/DarkElf.fgs");
    ASSERT_EQ(face.size(), 300u);
    ASSERT_EQ(race.size(), 320u);
    for (std::size_t i = 0; i < 80; ++i) {
        auto raw = static_cast<std::int16_t>(face[40 + 2 * i] | face[41 + 2 * i] << 8);
        std::uint32_t bits = static_cast<std::uint32_t>(race[4 * i] | race[4 * i + 1] << 8 |
                                                        race[4 * i + 2] << 16) |
                             static_cast<std::uint32_t>(race[4 * i + 3]) << 24;
        float expected = static_cast<float>(raw / 1000.0 - static_cast<double>(std::bit_cast<float>(bits)));
        const auto* sub = i < 50 ? npc.field("FGGS") : npc.field("FGGA");
        EXPECT_EQ(sub->f32(4 * (i < 50 ? i : i - 50)), expected) << i;
    }
    // Its inventory holds the converted helm, which the armour group holds.
    auto armour = f.allRecords("ARMO");
    ASSERT_EQ(armour.size(), 1u);
    EXPECT_EQ(npc.field("CNTO", 1)->u32(), armour[0]->formId);
    EXPECT_EQ(armour[0]->field("DATA")->u16(), 1200u);
    EXPECT_EQ(npc.field("ENAM")->u32(), 0x00027307u);

    // The files the records name are in the Oblivion data folder.
    for (const char* file : {"ob/Textures/Characters/Eyes/eyeblack.dds", "ob/Textures/Characters/Eyes/eyegrey_n.dds",
                             "ob/Meshes/Armor/BrannocsArmor/bonemold/chuzei.nif",
                             "ob/Meshes/Armor/BrannocsArmor/bonemold/chuzei_gnd.nif",
                             "ob/Textures/Menus/Icons/Armor/BrannocsArmor/bonemold/chuzei.dds"})
        EXPECT_TRUE(dir.exists(file)) << file;
    EXPECT_EQ(dir.readBytes("ob/Meshes/Armor/BrannocsArmor/bonemold/chuzei.nif"),
              dir.readBytes("prog/Meshes/Armor/BrannocsArmor/bonemold/chuzei.nif"));

    // A second run replaces nothing in the data folder and writes the same plugin.
    dir.writeFile("ob/Textures/Characters/Eyes/eyeblack.dds", "painted by the user");
    runOnce();
    EXPECT_EQ(dir.readText("ob/Textures/Characters/Eyes/eyeblack.dds"), "painted by the user");
    EXPECT_EQ(dir.readBytes("test_ob.esp"), plugin);
}

} // namespace
