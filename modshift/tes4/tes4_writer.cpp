// TES4 output layout (little-endian):
//
//   record    := tag[4] dataSize:u32 flags:u32 formId:u32 word:u32  subrecord*
//   subrecord := tag[4] length:u16 data[length]
//              | "XXXX" 4:u16 realLength:u32  tag[4] 0:u16 data[realLength]
//   group     := "GRUP" groupSize:u32 label:u32 groupType:u32 0x3716:u32  (record|group)*
//
// A record's data size is the byte count of its subrecords; a group's size
// counts its own 20-byte header and everything inside it. Both are taken from
// the bytes actually written, never from a formula.

#include "modshift/tes4/tes4_writer.hpp"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace lw::modshift {

namespace {
constexpr std::size_t kMaxShortLength = 0xFFFF;
}

void SubrecordBuffer::raw(Tag tag, std::span<const std::uint8_t> data)
{
    if (data.size() > kMaxShortLength) {
        writer_.u32(kOversizeTag);
        writer_.u16(4);
        writer_.u32(static_cast<std::uint32_t>(data.size()));
        writer_.u32(tag);
        writer_.u16(0);
    } else {
        writer_.u32(tag);
        writer_.u16(static_cast<std::uint16_t>(data.size()));
    }
    writer_.bytes(data);
}

void SubrecordBuffer::text(Tag tag, std::string_view text)
{
    ByteWriter& w = begin(tag);
    w.text(text);
    finish();
}

void SubrecordBuffer::u8(Tag tag, std::uint8_t v)
{
    begin(tag).u8(v);
    finish();
}

void SubrecordBuffer::u16(Tag tag, std::uint16_t v)
{
    begin(tag).u16(v);
    finish();
}

void SubrecordBuffer::u32(Tag tag, std::uint32_t v)
{
    begin(tag).u32(v);
    finish();
}

void SubrecordBuffer::i32(Tag tag, std::int32_t v)
{
    begin(tag).i32(v);
    finish();
}

void SubrecordBuffer::f32(Tag tag, float v)
{
    begin(tag).f32(v);
    finish();
}

ByteWriter& SubrecordBuffer::begin(Tag tag)
{
    if (opened_)
        finish(); // a subrecord left open is closed before the next starts
    open_ = bytes_.size();
    opened_ = true;
    writer_.u32(tag);
    writer_.u16(0);
    return writer_;
}

void SubrecordBuffer::finish()
{
    if (!opened_)
        return;
    opened_ = false;
    std::size_t length = bytes_.size() - open_ - 6;
    if (length <= kMaxShortLength) {
        writer_.patchU16(open_ + 4, static_cast<std::uint16_t>(length));
        return;
    }
    // Too long for the 16-bit length: put the XXXX size subrecord in front and
    // leave the length at 0.
    std::uint8_t prefix[10] = {'X', 'X', 'X', 'X', 4, 0, 0, 0, 0, 0};
    auto real = static_cast<std::uint32_t>(length);
    for (int i = 0; i < 4; ++i)
        prefix[6 + i] = static_cast<std::uint8_t>(real >> (8 * i));
    bytes_.insert(bytes_.begin() + static_cast<std::ptrdiff_t>(open_), std::begin(prefix),
                  std::end(prefix));
}

void Tes4Writer::reset()
{
    bytes_.clear();
    base_ = 0;
    sink_ = nullptr;
    blockSize_ = 0;
    sinkFailed_ = false;
    groups_.clear();
    formCounter_ = kFirstFormId;
    recordCount_ = 0;
    writtenByTag_.clear();
    countField_ = 0;
}

void Tes4Writer::reserve(std::size_t bytes)
{
    try {
        bytes_.reserve(bytes);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
}

void Tes4Writer::streamTo(OutputSink* sink, std::size_t blockSize)
{
    sink_ = sink;
    blockSize_ = blockSize;
}

void Tes4Writer::handOverWhenFull()
{
    if (sink_ == nullptr || bytes_.size() < blockSize_)
        return;
    if (!sink_->write(bytes_))
        sinkFailed_ = true;
    base_ += bytes_.size();
    bytes_.clear(); // the buffer keeps its room for the next block
}

bool Tes4Writer::flush()
{
    if (sink_ != nullptr && !bytes_.empty()) {
        if (!sink_->write(bytes_))
            sinkFailed_ = true;
        base_ += bytes_.size();
        bytes_.clear();
    }
    return !sinkFailed_;
}

void Tes4Writer::patch(std::size_t position, std::span<const std::uint8_t> bytes)
{
    if (position > this->position() || bytes.size() > this->position() - position)
        return;
    std::size_t done = 0;
    if (position < base_) {
        // Already with the sink (base_ is 0 without one).
        done = std::min(bytes.size(), base_ - position);
        if (!sink_->writeAt(position, bytes.first(done)))
            sinkFailed_ = true;
    }
    for (; done < bytes.size(); ++done)
        bytes_[position + done - base_] = bytes[done];
}

void Tes4Writer::patchU32(std::size_t position, std::uint32_t value)
{
    const std::uint8_t le[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    patch(position, le);
}

void Tes4Writer::beginGroup(std::uint32_t label, std::uint32_t groupType)
{
    handOverWhenFull();
    groups_.push_back(OpenGroup{position()});
    writer_.u32(makeTag("GRUP"));
    writer_.u32(20);
    writer_.u32(label);
    writer_.u32(groupType);
    writer_.u32(kGroupStamp);
    ++recordCount_;
}

void Tes4Writer::endGroup()
{
    if (groups_.empty())
        return;
    std::size_t header = groups_.back().headerPosition;
    groups_.pop_back();
    patchU32(header + 4, static_cast<std::uint32_t>(position() - header));
}

std::size_t Tes4Writer::writeRecord(Tag tag, std::uint32_t flags, std::uint32_t formId,
                                    const SubrecordBuffer& subrecords, std::uint32_t lastWord)
{
    return writeRecordData(tag, flags, formId, subrecords.bytes(), lastWord);
}

std::size_t Tes4Writer::writeRecordData(Tag tag, std::uint32_t flags, std::uint32_t formId,
                                        std::span<const std::uint8_t> data, std::uint32_t lastWord)
{
    handOverWhenFull();
    std::size_t at = position();
    writer_.u32(tag);
    writer_.u32(static_cast<std::uint32_t>(data.size()));
    writer_.u32(flags);
    writer_.u32(formId);
    writer_.u32(lastWord);
    writer_.bytes(data);
    ++recordCount_;
    ++writtenByTag_[tag];
    return at;
}

void Tes4Writer::patchRecordCount()
{
    patchU32(countField_, static_cast<std::uint32_t>(recordCount_));
}

} // namespace lw::modshift
