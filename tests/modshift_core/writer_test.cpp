// The TES4 writer and the plugin's file header, against bytes assembled by hand.
#include <gtest/gtest.h>

#include <algorithm>

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
    const Fields record = Fields().chars("EDID").u16(3).chars("0a").u8(0);
    const Fields expected = Fields().zeros(30).u32(5).zeros(6)
        .chars("GRUP").u32(118).chars("WRLD").u32(0).u32(0x3716)
        .chars("WRLD").u32(9).u32(0).u32(0x01000CE6).u32(0).bytes(record)
        .chars("GRUP").u32(69).u32(0x01000CE6).u32(1).u32(0x3716)
        .chars("GRUP").u32(49).u32(0).u32(4).u32(0x3716)
        .chars("CELL").u32(9).u32(0x400).u32(0x01000CE7).u32(0x3716).bytes(record);
    EXPECT_EQ(w.bytes(), expected.data());
}

TEST(SubrecordBuffer, TheSixteenBitLimit)
{
    for (std::size_t length : {65535u, 65536u}) {
        const std::vector<std::uint8_t> data(length, 1);
        SubrecordBuffer whole, opened; // given whole, or written into an opened subrecord
        whole.raw(makeTag("DESC"), data);
        opened.begin(makeTag("DESC")).bytes(data);
        opened.finish();
        // Beyond 16 bits an XXXX subrecord carries the length and DESC's own is 0.
        const Fields head = length == 65535 ? Fields().chars("DESC").u16(0xFFFF).u32(0x01010101)
                                            : Fields().chars("XXXX").u16(4).u32(65536).chars("DESC").u16(0);
        for (const SubrecordBuffer* big : {&whole, &opened})
            EXPECT_TRUE(big->bytes().size() >= head.data().size() &&
                        std::equal(head.data().begin(), head.data().end(), big->bytes().begin()))
                << length;
    }
}

// The expected file header record, assembled independently of the writer.
std::vector<std::uint8_t> expectedHeader(std::string_view author, std::string_view description)
{
    Fields sub;
    auto field = [&sub](std::string_view tag, const Fields& data) {
        sub.chars(tag).u16(static_cast<std::uint16_t>(data.data().size())).bytes(data);
    };
    field("HEDR", Fields().f32(1.0f).zeros(8));
    if (!author.empty())
        field("CNAM", Fields().chars(author).u8(0));
    if (!description.empty())
        field("SNAM", Fields().chars(description).u8(0));
    field("MAST", Fields().chars("Oblivion.esm").u8(0));
    field("DATA", Fields().zeros(8));
    return Fields().chars("TES4").u32(static_cast<std::uint32_t>(sub.data().size())).zeros(12).bytes(sub).data();
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
        b.record("TES3").sub("HEDR", row.hedr).end();
        ASSERT_TRUE(run.load(b));
        run.c->out.reset();
        EXPECT_EQ(writeFileHeader(*run.c), 0);
        EXPECT_EQ(run.c->out.bytes(), expectedHeader(row.author, row.description)) << row.author;
        EXPECT_EQ(run.c->out.countFieldPosition(), 30u);
    }
}

} // namespace
} // namespace lw::modshift
