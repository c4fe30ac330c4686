#include <gtest/gtest.h>

#include "modshift/tes4/tes4_writer.hpp"
#include "support/tes4_reader.hpp"

namespace lw::modshift {
namespace {

using lw::test::readTes4Body;
using lw::test::tagValue;

SubrecordBuffer dataOf(std::size_t bytes)
{
    // One subrecord of (bytes - 6) data bytes: `bytes` in all.
    SubrecordBuffer s;
    s.raw(makeTag("DATA"), std::vector<std::uint8_t>(bytes - 6, 0x5A));
    return s;
}

TEST(Tes4Writer, EmptyGroupHasSize20)
{
    Tes4Writer w;
    w.reset();
    w.beginGroup(makeTag("STAT"), 0);
    EXPECT_EQ(w.depth(), 1);
    w.endGroup();
    EXPECT_EQ(w.depth(), 0);
    EXPECT_EQ(w.recordCount(), 1);
    const std::vector<std::uint8_t> expected = {'G', 'R', 'U', 'P', 20, 0, 0, 0, 'S', 'T', 'A', 'T',
                                                0,   0,   0,   0,   0x16, 0x37, 0, 0};
    EXPECT_EQ(w.bytes(), expected);
}

TEST(Tes4Writer, GroupWithOneRecordOf24Bytes)
{
    Tes4Writer w;
    w.reset();
    w.beginGroup(makeTag("STAT"), 0);
    SubrecordBuffer s;
    s.u32(makeTag("DATA"), 7);
    s.clear();
    s.text(makeTag("EDID"), "0rock");  // 12
    s.raw(makeTag("MODL"), std::vector<std::uint8_t>(6, 1)); // 12
    ASSERT_EQ(s.size(), 24u);
    std::uint32_t form = w.nextFormId();
    EXPECT_EQ(w.writeRecord(makeTag("STAT"), 0, form, s), 20u);
    w.endGroup();
    EXPECT_EQ(w.recordCount(), 2);

    auto f = readTes4Body(w.bytes());
    ASSERT_TRUE(f.ok()) << f.error;
    ASSERT_EQ(f.entries.size(), 1u);
    const auto& g = f.entries[0].group;
    EXPECT_EQ(g.size, 64u);
    EXPECT_EQ(g.label, tagValue("STAT"));
    EXPECT_EQ(g.groupType, 0u);
    EXPECT_EQ(g.stamp, 0x3716u);
    auto recs = g.records();
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0]->dataSize, 24u);
    EXPECT_EQ(recs[0]->formId, 0x01000CE6u);
    EXPECT_EQ(recs[0]->flags, 0u);
    EXPECT_EQ(recs[0]->lastWord, 0u);
    EXPECT_EQ(recs[0]->layout(), "EDID MODL");
    EXPECT_EQ(recs[0]->field("EDID")->text(), "0rock");
    EXPECT_TRUE(recs[0]->field("EDID")->isZeroTerminatedText());
}

TEST(Tes4Writer, NestedGroupsAddTheirSizeToTheOuterGroup)
{
    Tes4Writer w;
    w.reset();
    w.beginGroup(makeTag("WRLD"), 0);
    w.writeRecord(makeTag("WRLD"), 0, w.nextFormId(), dataOf(30));
    w.beginGroup(0x01000CE6, 1);
    w.beginGroup(0, 4);
    w.writeRecord(makeTag("CELL"), 0x400, w.nextFormId(), dataOf(60), 0x3716);
    w.endGroup(); // 20 + 80 = 100
    w.endGroup(); // 120
    EXPECT_EQ(w.depth(), 1);
    w.endGroup(); // 20 + 50 + 120
    EXPECT_EQ(w.recordCount(), 5);

    auto f = readTes4Body(w.bytes());
    ASSERT_TRUE(f.ok()) << f.error;
    EXPECT_EQ(f.counted, 5);
    EXPECT_EQ(f.maxDepth, 3);
    const auto& outer = f.entries[0].group;
    EXPECT_EQ(outer.size, 190u);
    auto inner = outer.groups();
    ASSERT_EQ(inner.size(), 1u);
    EXPECT_EQ(inner[0]->size, 120u);
    EXPECT_EQ(inner[0]->label, 0x01000CE6u);
    EXPECT_EQ(inner[0]->groupType, 1u);
    EXPECT_EQ(inner[0]->groups()[0]->size, 100u);
    auto cells = outer.allRecords();
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[1]->flags, 0x400u);
    EXPECT_EQ(cells[1]->lastWord, 0x3716u);
    EXPECT_EQ(cells[0]->formId, 0x01000CE6u);
    EXPECT_EQ(cells[1]->formId, 0x01000CE7u);
}

TEST(Tes4Writer, DeepNestingAndStrayEndGroup)
{
    Tes4Writer w;
    w.reset();
    for (int i = 0; i < 12; ++i)
        w.beginGroup(static_cast<std::uint32_t>(i), 2);
    w.writeRecord(makeTag("REFR"), 0, w.nextFormId(), dataOf(10));
    for (int i = 0; i < 12; ++i)
        w.endGroup();
    w.endGroup(); // nothing open: ignored
    auto f = readTes4Body(w.bytes());
    ASSERT_TRUE(f.ok()) << f.error;
    EXPECT_EQ(f.maxDepth, 12);
    EXPECT_EQ(f.entries[0].group.size, 12u * 20 + 30);
    EXPECT_EQ(w.recordCount(), 13);
}

TEST(Tes4Writer, FormIdentifiersCountUpFromTheFirst)
{
    Tes4Writer w;
    w.reset();
    EXPECT_EQ(w.peekFormId(), 0x01000CE6u);
    EXPECT_EQ(w.nextFormId(), 0x01000CE6u);
    EXPECT_EQ(w.nextFormId(), 0x01000CE7u);
    w.reset();
    EXPECT_EQ(w.nextFormId(), 0x01000CE6u);
    EXPECT_EQ(w.recordCount(), 0);
    EXPECT_TRUE(w.bytes().empty());
}

TEST(Tes4Writer, RecordCountPatch)
{
    Tes4Writer w;
    w.reset();
    w.raw().zeros(40);
    w.setCountFieldPosition(30);
    w.beginGroup(makeTag("STAT"), 0);
    w.writeRecord(makeTag("STAT"), 0, w.nextFormId(), dataOf(6));
    w.endGroup();
    std::size_t end = w.position();
    w.patchRecordCount();
    EXPECT_EQ(w.position(), end);
    EXPECT_EQ(w.bytes()[30], 2);
    EXPECT_EQ(w.bytes()[31], 0);

    Tes4Writer empty;
    empty.reset();
    empty.setCountFieldPosition(30);
    empty.patchRecordCount(); // no header written: nothing to patch, no overrun
    EXPECT_TRUE(empty.bytes().empty());
}

TEST(SubrecordBuffer, FieldLayouts)
{
    SubrecordBuffer s;
    s.u8(makeTag("AAAA"), 0x11);
    s.u16(makeTag("BBBB"), 0x2233);
    s.i32(makeTag("CCCC"), -2);
    s.f32(makeTag("DDDD"), 1.0f);
    s.text(makeTag("EEEE"), "");
    ByteWriter& w = s.begin(makeTag("FFFF"));
    w.u32(1);
    w.u32(2);
    s.finish();
    const std::vector<std::uint8_t> expected = {
        'A', 'A', 'A', 'A', 1, 0, 0x11,                       //
        'B', 'B', 'B', 'B', 2, 0, 0x33, 0x22,                 //
        'C', 'C', 'C', 'C', 4, 0, 0xFE, 0xFF, 0xFF, 0xFF,     //
        'D', 'D', 'D', 'D', 4, 0, 0, 0, 0x80, 0x3F,           //
        'E', 'E', 'E', 'E', 1, 0, 0,                          //
        'F', 'F', 'F', 'F', 8, 0, 1, 0, 0, 0, 2, 0, 0, 0};
    EXPECT_EQ(s.bytes(), expected);

    SubrecordBuffer copy = s;
    copy.u8(makeTag("GGGG"), 1);
    EXPECT_EQ(s.size(), expected.size());
    EXPECT_EQ(copy.size(), expected.size() + 7);
}

TEST(SubrecordBuffer, OversizedDataGetsAnXXXXPrefix)
{
    std::string longText(70000, 'q');
    for (int way = 0; way < 3; ++way) {
        SubrecordBuffer s;
        s.text(makeTag("EDID"), "0a");
        if (way == 0) {
            s.text(makeTag("DESC"), longText);
        } else if (way == 1) {
            std::vector<std::uint8_t> d(longText.begin(), longText.end());
            d.push_back(0);
            s.raw(makeTag("DESC"), d);
        } else {
            s.begin(makeTag("DESC")).text(longText);
            s.finish();
        }
        s.u8(makeTag("DATA"), 3);
        Tes4Writer w;
        w.reset();
        w.beginGroup(makeTag("BOOK"), 0);
        w.writeRecord(makeTag("BOOK"), 0, w.nextFormId(), s);
        w.endGroup();
        auto f = readTes4Body(w.bytes());
        ASSERT_TRUE(f.ok()) << way << ": " << f.error;
        auto r = f.allRecords();
        ASSERT_EQ(r.size(), 1u);
        EXPECT_EQ(r[0]->layout(), "EDID DESC DATA") << way;
        const auto* desc = r[0]->field("DESC");
        EXPECT_TRUE(desc->oversized);
        EXPECT_EQ(desc->size(), 70001u);
        EXPECT_EQ(desc->text(), longText);
        EXPECT_EQ(r[0]->dataSize, 9u + 10 + 6 + 70001 + 7);
        EXPECT_EQ(r[0]->field("DATA")->u8(), 3);
    }
    // Exactly 65,535 bytes still fit the 16-bit length.
    SubrecordBuffer s;
    s.raw(makeTag("DESC"), std::vector<std::uint8_t>(65535, 1));
    EXPECT_EQ(s.size(), 6u + 65535);
    EXPECT_EQ(s.bytes()[4], 0xFF);
    EXPECT_EQ(s.bytes()[5], 0xFF);
}

TEST(Tes4Writer, RecordWithRawData)
{
    Tes4Writer w;
    w.reset();
    w.beginGroup(makeTag("LAND"), 0);
    const std::vector<std::uint8_t> data = {9, 8, 7, 6, 5};
    EXPECT_EQ(w.writeRecordData(makeTag("LAND"), 0x40000, w.nextFormId(), data), 20u);
    w.endGroup();
    EXPECT_EQ(w.recordCount(), 2);
    auto f = readTes4Body(w.bytes());
    ASSERT_TRUE(f.ok()) << f.error;
    auto r = f.allRecords();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_TRUE(r[0]->compressed);
    EXPECT_EQ(r[0]->data, data);
    EXPECT_EQ(f.entries[0].group.size, 45u);
}

TEST(Tes4Reader, CatchesBrokenGroupSizes)
{
    // The walker must notice a group whose size does not match its contents.
    Tes4Writer w;
    w.reset();
    w.beginGroup(makeTag("STAT"), 0);
    w.writeRecord(makeTag("STAT"), 0, w.nextFormId(), dataOf(10));
    w.endGroup();
    std::vector<std::uint8_t> bytes = w.bytes();
    bytes[4] = 40; // group claims 40 of its 50 bytes
    EXPECT_FALSE(readTes4Body(bytes).ok());
    bytes[4] = 60; // group claims more than the file
    EXPECT_FALSE(readTes4Body(bytes).ok());
    bytes[4] = 50;
    bytes[24] = 11; // record data size off by one
    EXPECT_FALSE(readTes4Body(bytes).ok());
}

} // namespace
} // namespace lw::modshift
