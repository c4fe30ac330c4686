// Plugins with sizes and counts past the end of their data, a plugin of
// 5,000,000 tiny subrecords, and an empty file in place of every input of
// both programs. Each run ends by itself with a clear message and the
// program's clean exit status.
#include <gtest/gtest.h>

#include <filesystem>

#include "hostile_env.hpp"
#include "support/bsa_builder.hpp"
#include "support/nif4_builder.hpp"
#include "support/tes3_builder.hpp"

namespace lw::test::hostile {
namespace {

namespace fs = std::filesystem;

const std::string kPrompt = "press enter...";

// A plugin that reaches every kind of input file: list files, faces, eyes,
// armour, icons from the archive, meshes, land textures, sounds, a cell.
std::vector<std::uint8_t> everyInputPlugin()
{
    Tes3Builder b;
    b.header("robust", "every input", 8);
    b.record("SOUN").text("NAME", "drip").text("FNAM", "drip.wav").sub("DATA", Fields().u8(200).u8(0).u8(255)).end();
    b.record("LTEX").text("NAME", "grass").i32("INTV", 0).text("DATA", "tx_grass.tga").end();
    b.record("STAT").text("NAME", "rock").text("MODL", "r\\rock.nif").end();
    b.record("MISC").text("NAME", "cup").text("MODL", "m\\cup.nif").text("ITEX", "m\\cup.tga").end();
    b.record("ARMO").text("NAME", "bonemold_cuirass").text("MODL", "a\\c.nif").end();
    b.record("NPC_")
        .text("NAME", "fervas")
        .text("FNAM", "Fervas")
        .text("RNAM", "Dark Elf")
        .text("BNAM", "b_n_dark elf_m_head_01")
        .end();
    b.record("CREA").text("NAME", "mudcrab").text("MODL", "r\\crab.nif").end();
    b.record("CELL").text("NAME", "Room").sub("DATA", Fields().u32(1).i32(0).i32(0));
    b.u32("FRMR", 1).text("NAME", "rock").sub("DATA", Fields().zeros(24));
    b.end();
    return b.bytes();
}

void placeSources(HostileEnv& env)
{
    env.dir.writeFile("mw/Data Files/Meshes/r/rock.nif", Nif4Builder::texturedQuad().build());
    env.dir.writeFile("mw/Data Files/Textures/tx_grass.dds", "grass");
    env.dir.writeFile("mw/Data Files/Sound/drip.wav", "drip");
    BsaBuilder bsa;
    bsa.add("icons\\m\\cup.dds", "cup icon").add("meshes\\m\\cup.nif", Nif4Builder::texturedQuad().build());
    bsa.write(env.dir / "mw/Data Files/Morrowind.bsa");
}

TEST(HostilePlugin, EmptyPluginFileIsRefused)
{
    HostileEnv env;
    for (const std::string& content : {std::string(), std::string("TES3"), std::string(7, '\0')}) {
        env.dir.writeFile("work/Empty.esp", content);
        const RunResult r = env.modshift({"Empty.esp"});
        ASSERT_TRUE(r.exitedWith(0)) << r.describe();
        EXPECT_TRUE(r.out.ends_with("reading Empty.esp\nParsing Mod file\nno records in file!\nError parsing file!\n" +
                                    kPrompt))
            << r.out;
        EXPECT_TRUE(env.dir.readBytes("work/Empty_ob.esp").empty());
        EXPECT_TRUE(env.dir.readBytes("work/Empty_ob.log").empty());
    }
}

TEST(HostilePlugin, SizesAndCountsPastTheEnd)
{
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> plugins;
    {
        Tes3Builder b;
        b.header();
        b.record("STAT").text("NAME", "rock").subWithSize("MODL", 0xFFFFFFFFu, Fields().chars("r.nif")).end();
        plugins.push_back({"subrecord size 0xFFFFFFFF", b.bytes()});
    }
    {
        Tes3Builder b;
        b.header();
        b.record("CELL").text("NAME", "Room").sub("DATA", Fields().u32(1));
        b.record("STAT").text("NAME", "nested").endWithSize(0x7FFFFFF0u);
        b.end();
        plugins.push_back({"nested record past its parent", b.bytes()});
    }
    {
        Tes3Builder b;
        b.record("TES3").sub("HEDR", Fields().u32(0)).end(); // header far too short
        b.record("NPC_").text("NAME", "n").sub("NPDT", Fields().u8(1)).sub("NPCO", Fields().i32(-1)).end();
        b.record("LEVC").text("NAME", "l").sub("INDX", Fields().u32(0xFFFFFFFFu)).text("CNAM", "x").end();
        b.record("CELL").text("NAME", "").sub("DATA", Fields().u32(0)).end();
        b.record("CELL").text("NAME", "Ext").sub("DATA", Fields().u32(0).i32(100000).i32(-100000)).end();
        b.record("LAND").sub("INTV", Fields().i32(0).i32(0)).sub("VHGT", Fields().f32(1)).sub("VTEX", Fields().u8(1)).end();
        b.record("PGRD").sub("DATA", Fields().i32(0).i32(0).u16(0).u16(0xFFFF)).text("NAME", "Room")
            .sub("PGRP", Fields().zeros(5)).sub("PGRC", Fields().u32(0xFFFFFFFFu)).end();
        b.record("REGN").text("NAME", "r").sub("WEAT", Fields().u8(1)).sub("SNAM", Fields().u8(0)).end();
        b.record("BOOK").text("NAME", "b").sub("BKDT", Fields().u8(1)).text("TEXT", "<FONT").end();
        b.record("LIGH").text("NAME", "l").sub("LHDT", Fields().u16(1)).end();
        b.record("CONT").text("NAME", "c").sub("NPCO", Fields().u32(5)).end();
        plugins.push_back({"short data and huge counts in every converted type", b.bytes()});
    }
    HostileEnv env;
    for (const auto& [what, bytes] : plugins) {
        env.dir.writeFile("work/Bad.esp", bytes);
        const RunResult r = env.modshift({"Bad.esp"});
        ASSERT_TRUE(r.exitedWith(0)) << what << ": " << r.describe() << r.out;
        EXPECT_TRUE(r.out.ends_with(kPrompt)) << what << "\n" << r.out;
        EXPECT_TRUE(r.out.find("Error parsing file!\n") != std::string::npos ||
                    r.out.find("Save Done.\n") != std::string::npos)
            << what << "\n" << r.out;
    }
}

// Archives whose directory declares more than the file holds: modshift
// reports the archive and goes on without it; meshshift finds nothing in it.
TEST(HostileArchive, CountsAndOffsetsPastTheEnd)
{
    BsaBuilder good;
    good.add("icons\\m\\cup.dds", "cup icon").add("meshes\\m\\cup.nif", Nif4Builder::texturedQuad().build());
    const std::vector<std::uint8_t> bytes = good.build();
    auto patched = [&](std::size_t at, std::uint32_t value) {
        std::vector<std::uint8_t> b = bytes;
        for (int i = 0; i < 4; ++i)
            b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
        return b;
    };
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> archives = {
        {"hash table offset past the end", patched(4, 0x7FFFFFF0u)},
        {"file count 0xFFFFFFFF", patched(8, 0xFFFFFFFFu)},
        {"file size past the end", patched(BsaBuilder::kRecordsAt, 0x7FFFFFF0u)},
        {"file offset past the end", patched(BsaBuilder::kRecordsAt + 4, 0xFFFFFFF0u)},
        {"name offset past the end", patched(good.nameOffsetsAt(), 0x00FFFFFFu)},
        {"cut after the header", std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 12)},
    };
    HostileEnv env;
    Tes3Builder b;
    b.header();
    // The icon first, so that it is copied whatever becomes of the model.
    b.record("MISC").text("NAME", "cup").text("ITEX", "m\\cup.tga").text("MODL", "m\\cup.nif").end();
    env.dir.writeFile("work/Cup.esp", b.bytes());
    for (const auto& [what, archive] : archives) {
        SCOPED_TRACE(what);
        env.dir.writeFile("mw/Data Files/Morrowind.bsa", archive);
        fs::remove_all(env.dir / "ob/Data");
        env.dir.makeDir("ob/Data");
        const RunResult r = env.modshift({"Cup.esp"});
        ASSERT_TRUE(r.exitedWith(0)) << r.describe() << r.out;
        EXPECT_TRUE(r.out.ends_with("Save Done.\n" + kPrompt)) << r.out;
        EXPECT_EQ(r.out.find("Not enough memory"), std::string::npos) << r.out;
        // Whatever the archive held, the icon is the placeholder or the real one, never a torn copy.
        ASSERT_TRUE(env.dir.exists("ob/Data/Textures/Menus/Icons/Clutter/conv/m/cup.dds")) << r.out;
        const auto icon = env.dir.readBytes("ob/Data/Textures/Menus/Icons/Clutter/conv/m/cup.dds");
        EXPECT_TRUE(icon == env.dir.readBytes("prog/iconWeap.dds") ||
                    std::string(icon.begin(), icon.end()) == "cup icon");
    }
}

// The record tree holds at most 5,000,000 nodes; one more plugin node than
// that is refused as a whole, one fewer converts.
TEST(HostilePlugin, FiveMillionTinySubrecords)
{
    HostileEnv env;
    auto plugin = [](std::uint32_t subrecords) {
        Tes3Builder b;
        b.header();
        b.record("SCPT");
        std::vector<std::uint8_t> many(std::size_t{8} * subrecords);
        for (std::size_t i = 0; i < subrecords; ++i) {
            std::copy_n("DELE", 4, many.begin() + static_cast<std::ptrdiff_t>(8 * i)); // size 0 follows
        }
        b.raw(many);
        b.end();
        return b.bytes();
    };
    env.dir.writeFile("work/Huge.esp", plugin(5'000'000));
    RunResult r = env.modshift({"Huge.esp"});
    ASSERT_TRUE(r.exitedWith(0)) << r.describe();
    EXPECT_NE(r.out.find("Parsing Mod file\n"), std::string::npos) << r.out;
    EXPECT_TRUE(r.out.ends_with("Error parsing file!\n" + kPrompt)) << r.out;
    EXPECT_TRUE(env.dir.readBytes("work/Huge_ob.esp").empty());

    // TES3, HEDR, SCPT and the subrecords: 4,999,999 nodes fit.
    env.dir.writeFile("work/Fits.esp", plugin(4'999'996));
    r = env.modshift({"Fits.esp"});
    ASSERT_TRUE(r.exitedWith(0)) << r.describe();
    EXPECT_TRUE(r.out.ends_with("Save Done.\n" + kPrompt)) << r.out.substr(0, 2000);
}

// Every file either program reads, emptied one at a time: the run still
// ends by itself with its usual status and final prompt.
TEST(HostileEmpty, EveryInputFileEmptiedInTurn)
{
    HostileEnv env;
    placeSources(env);
    env.dir.writeFile("work/Every.esp", everyInputPlugin());

    std::vector<std::string> inputs = {
        "prog/meshshift.ini", "prog/statics.ini", "prog/misc.ini", "prog/armors.ini", "prog/creatures.ini",
        "prog/land.ini", "prog/faces/Heads.ini", "prog/faces/zero.fg", "prog/faces/DarkElf.fgs",
        "prog/bhktemp.nif", "prog/template_n.dds", "prog/iconWeap.dds", "prog/eyeblack.dds",
        "mw/Data Files/Morrowind.bsa", "mw/Data Files/Meshes/r/rock.nif", "mw/Data Files/Textures/tx_grass.dds",
        "mw/Data Files/Sound/drip.wav",
    };
    // The face file the NPC's head names, whatever it is called.
    const std::string heads = env.dir.readText("prog/faces/Heads.ini");
    const std::string key = "b_n_dark elf_m_head_01=";
    if (auto at = heads.find(key); at != std::string::npos) {
        std::string face = heads.substr(at + key.size(), heads.find_first_of("\r\n", at) - at - key.size());
        inputs.push_back("prog/faces/" + face);
    }

    for (const std::string& input : inputs) {
        SCOPED_TRACE(input);
        ASSERT_TRUE(env.dir.exists(input));
        const std::vector<std::uint8_t> saved = env.dir.readBytes(input);
        env.dir.writeFile(input, std::string());
        fs::remove_all(env.dir / "ob/Data");
        env.dir.makeDir("ob/Data");

        const RunResult r = env.modshift({"Every.esp"});
        ASSERT_TRUE(r.exitedWith(0)) << r.describe() << r.out;
        EXPECT_TRUE(r.out.ends_with(kPrompt)) << r.out;
        EXPECT_EQ(r.out.find("Not enough memory"), std::string::npos) << r.out;
        if (input == "prog/meshshift.ini") {
            EXPECT_NE(r.out.find("error parsing INI file\n"), std::string::npos) << r.out;
        } else {
            EXPECT_NE(r.out.find("Save Done.\n"), std::string::npos) << r.out;
        }

        // meshshift by hand over the same emptied file.
        const RunResult m = env.meshshift({"r\\rock.nif", "-d", "r\\rock.nif"});
        ASSERT_TRUE(endedCleanly(m)) << m.describe();
        EXPECT_TRUE(m.exitedWith(0) || m.exitedWith(kMeshFailed)) << m.describe();
        if (input == "prog/bhktemp.nif" || input == "mw/Data Files/Meshes/r/rock.nif" ||
            input == "prog/meshshift.ini") {
            EXPECT_TRUE(m.exitedWith(kMeshFailed)) << m.out;
        }
        env.dir.writeFile(input, saved);
    }
}

} // namespace
} // namespace lw::test::hostile
