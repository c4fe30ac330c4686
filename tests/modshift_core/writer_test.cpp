// The TES4 writer and the plugin's file header, against bytes assembled by
// hand and the independent reader.
#include <gtest/gtest.h>

#include "modshift/driver/save_steps.hpp"
#include "modshift/tes4/tes4_writer.hpp"
#include "support/conversion_run.hpp"

namespace lw::modshift {
namespace {

using lw::test::Fields;
using lw::test::Tes3Builder;

TEST(Tes4Writer, NestedGroupsRecordsFormIdsAndTheCount)
{
    Tes4Writer w;
    w.reset();
    w.raw().zeros(40);
    w.setCountFieldPosition(30);
    w.beginGroup(makeTag("WRLD"), 0);
    SubrecordBuffer s;
    s.text(makeTag("EDID"), "0a"); // 9 bytes
    w.writeRecord(makeTag("WRLD"), 0, w.nextFormId(), s);
    w.beginGroup(0x01000CE6, 1);
    w.beginGroup(0, 4);
    w.writeRecord(makeTag("CELL"), 0x400, w.nextFormId(), s, 0x3716);
    w.endGroup(); // 20 + 29
    w.endGroup(); // 20 + 49
    w.endGroup(); // 20 + 29 + 69
    w.endGroup(); // nothing open: ignored
    w.patchRecordCount();
    const std::vector<std::uint8_t> record = {'E', 'D', 'I', 'D', 3, 0, '0', 'a', 0};
    std::vector<std::uint8_t> expected(40, 0);
    expected[30] = 5;
    auto add = [&](std::vector<std::uint8_t> bytes) { expected.insert(expected.end(), bytes.begin(), bytes.end()); };
    add({'G', 'R', 'U', 'P', 118, 0, 0, 0, 'W', 'R', 'L', 'D', 0, 0, 0, 0, 0x16, 0x37, 0, 0});
    add({'W', 'R', 'L', 'D', 9, 0, 0, 0, 0, 0, 0, 0, 0xE6, 0x0C, 0, 0x01, 0, 0, 0, 0});
    add(record);
    add({'G', 'R', 'U', 'P', 69, 0, 0, 0, 0xE6, 0x0C, 0, 0x01, 1, 0, 0, 0, 0x16, 0x37, 0, 0});
    add({'G', 'R', 'U', 'P', 49, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0x16, 0x37, 0, 0});
    add({'C', 'E', 'L', 'L', 9, 0, 0, 0, 0, 4, 0, 0, 0xE7, 0x0C, 0, 0x01, 0x16, 0x37, 0, 0});
    add(record);
    EXPECT_EQ(w.bytes(), expected);
}

TEST(SubrecordBuffer, FieldLayoutsAndTheSixteenBitLimit)
{
    SubrecordBuffer s;
    s.u8(makeTag("AAAA"), 0x11);
    s.u16(makeTag("BBBB"), 0x2233);
    s.i32(makeTag("CCCC"), -2);
    s.f32(makeTag("DDDD"), 1.0f);
    s.text(makeTag("EEEE"), "");
    s.begin(makeTag("FFFF")).u32(1);
    s.finish();
    const std::vector<std::uint8_t> expected = {
        'A', 'A', 'A', 'A', 1, 0, 0x11,   'B', 'B', 'B', 'B', 2, 0, 0x33, 0x22,
        'C', 'C', 'C', 'C', 4, 0, 0xFE, 0xFF, 0xFF, 0xFF,   'D', 'D', 'D', 'D', 4, 0, 0, 0, 0x80, 0x3F,
        'E', 'E', 'E', 'E', 1, 0, 0,      'F', 'F', 'F', 'F', 4, 0, 1, 0, 0, 0};
    EXPECT_EQ(s.bytes(), expected);

    for (std::size_t length : {65535u, 65536u}) {
        const std::vector<std::uint8_t> data(length, 1);
        SubrecordBuffer whole, opened; // given whole, or written into an opened subrecord
        whole.raw(makeTag("DESC"), data);
        opened.begin(makeTag("DESC")).bytes(data);
        opened.finish();
        for (const SubrecordBuffer* big : {&whole, &opened}) {
            std::vector<std::uint8_t> head(big->bytes().begin(), big->bytes().begin() + 16);
            if (length == 65535) // fits the 16-bit length
                EXPECT_EQ(head, (std::vector<std::uint8_t>{'D', 'E', 'S', 'C', 0xFF, 0xFF, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
            else // an XXXX subrecord carries the length, DESC's own is 0
                EXPECT_EQ(head, (std::vector<std::uint8_t>{'X', 'X', 'X', 'X', 4, 0, 0, 0, 1, 0, 'D', 'E', 'S', 'C', 0, 0}));
        }
    }
}

// The expected file header record, assembled independently of the writer.
std::vector<std::uint8_t> expectedHeader(std::string_view author, std::string_view description)
{
    std::vector<std::uint8_t> sub;
    auto field = [&sub](std::string_view tag, std::vector<std::uint8_t> data) {
        sub.insert(sub.end(), tag.begin(), tag.end());
        sub.push_back(static_cast<std::uint8_t>(data.size()));
        sub.push_back(static_cast<std::uint8_t>(data.size() >> 8));
        sub.insert(sub.end(), data.begin(), data.end());
    };
    auto text = [](std::string_view s) {
        std::vector<std::uint8_t> v(s.size() + 1, 0); // the text and its zero byte
        std::copy(s.begin(), s.end(), v.begin());
        return v;
    };
    field("HEDR", {0, 0, 0x80, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0});
    if (!author.empty())
        field("CNAM", text(author));
    if (!description.empty())
        field("SNAM", text(description));
    field("MAST", text("Oblivion.esm"));
    field("DATA", std::vector<std::uint8_t>(8, 0));
    std::vector<std::uint8_t> out = {'T', 'E', 'S', '4', static_cast<std::uint8_t>(sub.size()),
                                     static_cast<std::uint8_t>(sub.size() >> 8), 0, 0};
    out.insert(out.end(), 12, 0);
    out.insert(out.end(), sub.begin(), sub.end());
    return out;
}

TEST(FileHeader, AuthorAndDescriptionFromTheLastHedr)
{
    const std::string author(32, 'a'), description(256, 'd');
    struct Row {
        std::vector<std::uint8_t> hedr;
        std::string author, description;
    };
    const std::vector<Row> rows = {
        {lw::test::hedrData("Olaf", ""), "Olaf", ""},
        {lw::test::hedrData("", ""), "DEFAULT", ""},
        {lw::test::hedrData("", "My plugin"), "", "My plugin"},
        {Fields().f32(1.3f).u32(0).chars(author).chars(description).u32(77).data(), author, description},
        {Fields().f32(1.3f).u32(0).chars("Bo").data(), "Bo", ""},
    };
    for (const Row& row : rows) {
        lw::test::ConversionRun run;
        Tes3Builder b;
        b.header("first", "one");
        Fields hedr;
        hedr.bytes(row.hedr);
        b.record("TES3").sub("HEDR", hedr).end();
        ASSERT_TRUE(run.load(b));
        run.c->out.reset();
        EXPECT_EQ(writeFileHeader(*run.c), 0);
        EXPECT_EQ(run.c->out.bytes(), expectedHeader(row.author, row.description)) << row.author;
        EXPECT_EQ(run.c->out.countFieldPosition(), 30u);
    }
}

} // namespace
} // namespace lw::modshift
