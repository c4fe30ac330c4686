#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <string>

#include "character_fixture.hpp"
#include "modshift/characters/faces.hpp"
#include "modshift/driver/save_steps.hpp"
#include "modshift/tes4/tes4_writer.hpp"

namespace lw::modshift {
namespace {

using lw::test::CharacterRun;
using lw::test::Tes3Builder;

std::vector<std::uint8_t> bytesOf(std::string_view s) { return {s.begin(), s.end()}; }

// A face file: 40 header bytes, then the given 16-bit values.
std::vector<std::uint8_t> faceFile(const std::vector<std::int16_t>& values)
{
    std::vector<std::uint8_t> out(40, 0xEE);
    for (std::int16_t v : values) {
        auto u = static_cast<std::uint16_t>(v);
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return out;
}

std::vector<std::uint8_t> raceFile(const std::vector<float>& values)
{
    std::vector<std::uint8_t> out;
    for (float f : values) {
        auto u = std::bit_cast<std::uint32_t>(f);
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
    }
    return out;
}

TEST(HeadTable, LinesSeparatorsAndBlanks)
{
    std::vector<HeadEntry> heads;
    std::size_t lines = parseHeadTable(
        bytesOf("\r\n\r\nb_n_dark elf_m_head_01=dunmer01.fg\r\n"
                "b_n_nord_m_head_02 =nord02.fg\r\n"
                "no equals sign here\r\n"
                "b_n_breton_f_head_03=breton\xE9" "03.fg\n"
                "last=zero.fg"),
        heads);
    EXPECT_EQ(lines, 4u);
    ASSERT_EQ(heads.size(), 4u);
    EXPECT_EQ(heads[0].head, "b_n_dark elf_m_head_01");
    EXPECT_EQ(heads[0].faceFile, "dunmer01.fg");
    // The blank before "=" stays in the identifier, which then matches no BNAM.
    EXPECT_EQ(heads[1].head, "b_n_nord_m_head_02 ");
    EXPECT_EQ(faceFileFor(heads, "b_n_nord_m_head_02"), "zero.fg");
    // A byte from 0x80 up ends the file name.
    EXPECT_EQ(heads[2].faceFile, "breton");
    EXPECT_EQ(heads[3].head, "last");
    EXPECT_EQ(faceFileFor(heads, "b_n_dark elf_m_head_01"), "dunmer01.fg");
    EXPECT_EQ(faceFileFor(heads, "B_N_DARK ELF_M_HEAD_01"), "zero.fg");
    EXPECT_EQ(faceFileFor(heads, "unknown"), "zero.fg");
}

TEST(HeadTable, FirstEntryWinsAndCapacityHolds)
{
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "h" + std::to_string(i % 260) + "=f" + std::to_string(i) + ".fg\n";
    std::vector<HeadEntry> heads;
    EXPECT_EQ(parseHeadTable(bytesOf(text), heads), 300u);
    ASSERT_EQ(heads.size(), 256u);
    EXPECT_EQ(faceFileFor(heads, "h5"), "f5.fg");
    EXPECT_EQ(faceFileFor(heads, "h255"), "f255.fg");
    EXPECT_EQ(faceFileFor(heads, "h256"), "zero.fg"); // line 257: beyond the table
}

TEST(ParseFaces, SizeLimitAndMissingFile)
{
    {
        CharacterRun run;
        EXPECT_EQ(parseFaces(*run.c), -1);
        EXPECT_EQ(run.text(), "\nParsing facegen faces for head conversion\n"
                              "Can't find prog\\faces\\Heads.ini!\n");
    }
    std::string line = "head=face.fg\r\n";
    std::string exact = line + std::string(10000 - line.size(), '\n');
    {
        CharacterRun run;
        run.platform.put("prog\\faces\\Heads.ini", exact);
        EXPECT_EQ(parseFaces(*run.c), 0);
        EXPECT_EQ(run.text(), "\nParsing facegen faces for head conversion\n.\n");
        ASSERT_EQ(run.c->characters.heads.size(), 1u);
        EXPECT_EQ(run.c->characters.heads[0].faceFile, "face.fg");
    }
    {
        CharacterRun run;
        run.platform.put("prog\\faces\\Heads.ini", exact + "\n");
        EXPECT_EQ(parseFaces(*run.c), -1);
        EXPECT_EQ(run.text(), "\nParsing facegen faces for head conversion\nHeads.ini too big!\n");
        EXPECT_TRUE(run.c->characters.heads.empty());
    }
    {
        std::string many;
        for (int i = 0; i < 257; ++i)
            many += "h" + std::to_string(i) + "=x\n";
        CharacterRun run;
        run.platform.put("prog\\faces\\Heads.ini", many);
        EXPECT_EQ(parseFaces(*run.c), 0);
        EXPECT_EQ(run.text(), "\nParsing facegen faces for head conversion\n" + std::string(257, '.') +
                                  "\ntoo many heads!\n");
        EXPECT_EQ(run.c->characters.heads.size(), 256u);
    }
}

TEST(FaceGen, FaceMinusRaceInDoublePrecision)
{
    std::vector<std::int16_t> face(130, 0);
    face[0] = 1500;
    face[50] = -250; // first asymmetric value
    face[80] = 777;  // first texture value
    std::vector<float> race(80, 0.0f);
    race[0] = 0.25f;
    race[49] = 9.0f;  // last symmetric race value
    race[50] = 0.5f;  // FGGA starts at byte 200 of the race file
    race[79] = -2.0f; // ... and ends at byte 319
    auto faceBytes = faceFile(face);
    auto raceBytes = raceFile(race);
    FaceGenValues v = computeFaceGen(&faceBytes, &raceBytes);
    EXPECT_EQ(v.symmetric[0], 1.25f);
    EXPECT_EQ(v.symmetric[49], -9.0f);
    EXPECT_EQ(v.asymmetric[0], static_cast<float>(-0.25 - 0.5));
    EXPECT_EQ(v.asymmetric[29], 2.0f);
    EXPECT_EQ(v.texture[0], static_cast<float>(0.777));

    // Find a face value whose single-precision arithmetic would round
    // differently, and check the double-precision result is what is written.
    float r = 0.1f;
    int found = -1;
    for (int f = 1; f < 32767 && found < 0; ++f) {
        float single = static_cast<float>(f) / 1000.0f - r;
        float twice = static_cast<float>(static_cast<double>(f) / 1000.0 - static_cast<double>(r));
        if (std::bit_cast<std::uint32_t>(single) != std::bit_cast<std::uint32_t>(twice))
            found = f;
    }
    ASSERT_GE(found, 0);
    std::vector<std::int16_t> face2(130, static_cast<std::int16_t>(found));
    std::vector<float> race2(80, r);
    auto f2 = faceFile(face2);
    auto r2 = raceFile(race2);
    FaceGenValues w = computeFaceGen(&f2, &r2);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(w.symmetric[3]),
              std::bit_cast<std::uint32_t>(static_cast<float>(found / 1000.0 - static_cast<double>(r))));
}

TEST(FaceGen, MissingAndShortFiles)
{
    std::vector<float> race(80, 0.0f);
    race[0] = 0.5f;
    race[60] = 1.5f;
    auto raceBytes = raceFile(race);
    FaceGenValues noFace = computeFaceGen(nullptr, &raceBytes);
    EXPECT_EQ(noFace.symmetric[0], -0.5f);
    EXPECT_EQ(noFace.asymmetric[10], -1.5f);
    EXPECT_EQ(noFace.texture[0], 0.0f);

    // A face file that ends early repeats its last value; so does a short race file.
    auto shortFace = faceFile({1000, 2000});
    std::vector<std::uint8_t> shortRace = raceFile({0.5f});
    FaceGenValues v = computeFaceGen(&shortFace, &shortRace);
    EXPECT_EQ(v.symmetric[0], 0.5f);
    EXPECT_EQ(v.symmetric[1], 1.5f);
    EXPECT_EQ(v.symmetric[49], 1.5f);
    EXPECT_EQ(v.texture[49], 2.0f);
    // A file shorter than its header gives no values at all.
    std::vector<std::uint8_t> tiny(39, 0x7F);
    FaceGenValues t = computeFaceGen(&tiny, nullptr);
    EXPECT_EQ(t.symmetric[0], 0.0f);
    EXPECT_EQ(t.texture[0], 0.0f);
}

TEST(FaceGen, WriterLooksUpHeadsAndReportsMissingFiles)
{
    CharacterRun run;
    run.platform.put("prog\\faces\\Heads.ini", "b_n_nord_m_head_01=nord01.fg\r\n");
    ASSERT_EQ(parseFaces(*run.c), 0);
    std::vector<std::int16_t> nord(130, 100);
    std::vector<std::int16_t> zero(130, -50);
    run.platform.put("prog\\faces\\nord01.fg", faceFile(nord));
    run.platform.put("prog\\faces\\zero.fg", faceFile(zero));
    run.platform.put("prog\\faces\\Nord.fgs", raceFile(std::vector<float>(80, 0.0f)));
    run.console.clearCaptured();

    SubrecordBuffer sub;
    writeFaceGen(*run.c, sub, "Nord.fgs", std::string_view("b_n_nord_m_head_01"));
    writeFaceGen(*run.c, sub, "Nord.fgs", std::string_view("b_n_unknown"));
    writeFaceGen(*run.c, sub, "Nord.fgs", std::nullopt);
    writeFaceGen(*run.c, sub, "Missing.fgs", std::string_view("b_n_nord_m_head_01"));
    EXPECT_EQ(run.text(), "No FGS file\n");
    // Each file is read once however many NPCs use it.
    EXPECT_EQ(run.platform.reads("prog\\faces\\zero.fg"), 1u);
    EXPECT_EQ(run.platform.reads("prog\\faces\\Nord.fgs"), 1u);

    // Read back: 4 x (FGGS, FGGA, FGTS, FNAM), 546 bytes each.
    ASSERT_EQ(sub.size(), 4u * 546u);
    // Read back through the independent reader, wrapped in a record header.
    std::vector<std::uint8_t> record = {'N', 'P', 'C', '_'};
    auto size = static_cast<std::uint32_t>(sub.size());
    for (int i = 0; i < 4; ++i)
        record.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
    record.resize(20, 0);
    record.insert(record.end(), sub.bytes().begin(), sub.bytes().end());
    lw::test::Tes4File f = lw::test::readTes4Body(record);
    ASSERT_TRUE(f.ok()) << f.error;
    const lw::test::Tes4Record& r = *f.allRecords()[0];
    EXPECT_EQ(r.layout(), "FGGS FGGA FGTS FNAM FGGS FGGA FGTS FNAM FGGS FGGA FGTS FNAM "
                          "FGGS FGGA FGTS FNAM");
    const float expected[4] = {0.1f, -0.05f, -0.05f, 0.1f};
    for (std::size_t n = 0; n < 4; ++n) {
        ASSERT_EQ(r.field("FGGS", n)->size(), 200u);
        ASSERT_EQ(r.field("FGGA", n)->size(), 120u);
        ASSERT_EQ(r.field("FGTS", n)->size(), 200u);
        EXPECT_EQ(r.field("FGGS", n)->f32(196), expected[n]) << n;
        EXPECT_EQ(r.field("FGGA", n)->f32(0), expected[n]) << n;
        EXPECT_EQ(r.field("FGTS", n)->f32(100), expected[n]) << n;
        EXPECT_EQ(r.field("FNAM", n)->data, (std::vector<std::uint8_t>{0x77, 0x44})) << n;
    }

    run.console.clearCaptured();
    SubrecordBuffer other;
    run.platform.files.erase("prog\\faces\\zero.fg");
    run.c->characters.faceFiles.clear();
    writeFaceGen(*run.c, other, "Gone.fgs", std::string_view("x"));
    EXPECT_EQ(run.text(), "No FGS file\nNo FG file\n");
}

TEST(Eyes, ThreeRecordsWithTexturesCopiedIntoACreatedFolder)
{
    CharacterRun run;
    for (const char* base : {"eyekhajiit1", "eyeblack", "eyegrey"}) {
        run.platform.put(std::string("prog\\") + base + ".dds", std::string("dds ") + base);
        run.platform.put(std::string("prog\\") + base + "_n.dds", std::string("normal ") + base);
    }
    // A texture already in place is never replaced.
    run.platform.put("T:\\Oblivion\\Data\\Textures\\Characters\\Eyes\\eyegrey.dds", "mine");
    ASSERT_EQ(saveEyes(*run.c), 0);
    EXPECT_EQ(run.text(), "\nSaving eyes\n");
    EXPECT_EQ(run.c->characters.eyeKhajiit1, 0x01000CE6u);
    EXPECT_EQ(run.c->characters.eyeBlack, 0x01000CE7u);
    EXPECT_EQ(run.c->characters.eyeGrey, 0x01000CE8u);
    EXPECT_EQ(run.c->out.recordCount(), 4);

    lw::test::Tes4File f = run.output();
    const lw::test::Tes4Group* g = f.topGroup("EYES");
    ASSERT_NE(g, nullptr);
    auto records = g->records();
    ASSERT_EQ(records.size(), 3u);
    const char* names[3][3] = {{"eyeKhajiit1", "Khajiit", "eyekhajiit1"},
                               {"eyeBlack", "Noirs", "eyeblack"},
                               {"eyeGrey", "Gris", "eyegrey"}};
    for (std::size_t i = 0; i < 3; ++i) {
        const lw::test::Tes4Record& r = *records[i];
        EXPECT_EQ(r.formId, 0x01000CE6u + i);
        EXPECT_EQ(r.flags, 0u);
        EXPECT_EQ(r.layout(), "EDID FULL ICON DATA");
        EXPECT_EQ(r.field("EDID")->text(), names[i][0]);
        EXPECT_EQ(r.field("FULL")->text(), names[i][1]);
        std::string icon = std::string("Characters\\Eyes\\") + names[i][2] + ".dds";
        EXPECT_EQ(r.field("ICON")->text(), icon);
        EXPECT_TRUE(r.field("ICON")->isZeroTerminatedText());
        ASSERT_EQ(r.field("DATA")->size(), 1u);
        EXPECT_EQ(r.field("DATA")->u8(), 1u);
        EXPECT_EQ(r.dataSize, std::strlen(names[i][0]) + std::strlen(names[i][1]) + icon.size() + 28);
    }
    const std::string eyes = "T:\\Oblivion\\Data\\Textures\\Characters\\Eyes\\";
    EXPECT_EQ(run.platform.files[eyes + "eyekhajiit1.dds"], bytesOf("dds eyekhajiit1"));
    EXPECT_EQ(run.platform.files[eyes + "eyeblack_n.dds"], bytesOf("normal eyeblack"));
    EXPECT_EQ(run.platform.files[eyes + "eyegrey.dds"], bytesOf("mine"));
    int made = run.platform.logIndex("mkdir T:\\Oblivion\\Data\\Textures\\Characters\\Eyes");
    int copied = run.platform.logIndex("copy prog\\eyekhajiit1.dds -> " + eyes + "eyekhajiit1.dds");
    ASSERT_GE(made, 0);
    EXPECT_LT(made, copied);
}

} // namespace
} // namespace lw::modshift
