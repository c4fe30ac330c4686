#pragma once
// TES4 output: records, subrecords and groups, assembled in memory. A record's
// subrecords are built in a SubrecordBuffer first and the record size is taken
// from it; a group's size is patched into its header when it ends. The form
// identifier counter and the record count live here too.
//
// The output can also be streamed: with a sink attached, the bytes held are
// handed to the sink in blocks as records are written, so a large output
// never sits in memory whole; values patched later (group sizes, the record
// count, door links) are rewritten in the sink when they lie before the
// bytes still held. Positions are always file offsets.

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string_view>
#include <vector>

#include "common/io/byte_writer.hpp"
#include "modshift/tes3/record_tree.hpp" // Tag, makeTag

namespace lw::modshift {

// The subrecords of one record: tag, 16-bit length, data. Data longer than
// 65,535 bytes cannot be described by the 16-bit length; it is written the way
// the format provides for it: an XXXX subrecord holding the 32-bit size, then
// the subrecord with length 0.
class SubrecordBuffer {
public:
    static constexpr Tag kOversizeTag = makeTag("XXXX");

    SubrecordBuffer() = default;
    SubrecordBuffer(const SubrecordBuffer& o) : bytes_(o.bytes_), open_(o.open_), opened_(o.opened_) {}
    SubrecordBuffer& operator=(const SubrecordBuffer& o)
    {
        bytes_ = o.bytes_;
        open_ = o.open_;
        opened_ = o.opened_;
        return *this;
    }

    void raw(Tag tag, std::span<const std::uint8_t> data);
    void text(Tag tag, std::string_view text); // with its zero byte
    void u8(Tag tag, std::uint8_t v);
    void u16(Tag tag, std::uint16_t v);
    void u32(Tag tag, std::uint32_t v);
    void i32(Tag tag, std::int32_t v);
    void f32(Tag tag, float v);
    // Starts a subrecord whose data the caller appends through the returned
    // writer; finish() fills in its length.
    ByteWriter& begin(Tag tag);
    void finish();

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::size_t size() const { return bytes_.size(); }
    void clear()
    {
        bytes_.clear();
        opened_ = false;
    }

private:
    std::vector<std::uint8_t> bytes_;
    ByteWriter writer_{bytes_};
    std::size_t open_ = 0; // header position of the subrecord begin() started
    bool opened_ = false;
};

// Where a streamed output goes: bytes appended in order, and rewrites of
// bytes it already received.
class OutputSink {
public:
    virtual ~OutputSink() = default;
    virtual bool write(std::span<const std::uint8_t> bytes) = 0;
    virtual bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
};

class Tes4Writer {
public:
    static constexpr std::uint32_t kFirstFormId = 0x01000CE6;
    static constexpr std::uint32_t kGroupStamp = 0x3716;

    Tes4Writer() = default;
    Tes4Writer(const Tes4Writer&) = delete; // the writer refers to its own buffer
    Tes4Writer& operator=(const Tes4Writer&) = delete;

    // Empties the output and detaches a sink; counter to kFirstFormId, record
    // count and depth to 0.
    void reset();
    // From now on, once `blockSize` bytes or more are held when a record or
    // group starts, they are handed to `sink` (nullptr: everything stays in
    // memory). Attach it before anything is written.
    void streamTo(OutputSink* sink, std::size_t blockSize);
    // Hands every held byte to the sink. False when the sink refused any
    // write or rewrite so far (true without a sink).
    bool flush();
    // Room for `bytes` of output, so that a large output is not copied each
    // time it outgrows its buffer. Only a hint: when the memory cannot be had,
    // the output grows as it goes.
    void reserve(std::size_t bytes);

    std::uint32_t nextFormId() { return formCounter_++; }
    std::uint32_t peekFormId() const { return formCounter_; }

    // Groups nest without a fixed limit; endGroup() with no open group does
    // nothing.
    void beginGroup(std::uint32_t label, std::uint32_t groupType);
    void endGroup();
    int depth() const { return static_cast<int>(groups_.size()); }

    // Writes a record header (data size from `subrecords`) and the subrecords,
    // adds it to the open groups and the record count; returns the file offset
    // of the record header. `lastWord` is the header's last 32-bit word.
    std::size_t writeRecord(Tag tag, std::uint32_t flags, std::uint32_t formId,
                            const SubrecordBuffer& subrecords, std::uint32_t lastWord = 0);

    // A record whose data is not made of subrecords (a compressed record):
    // header with data size = data.size(), then the bytes; counted like any
    // record. Returns the file offset of the record header.
    std::size_t writeRecordData(Tag tag, std::uint32_t flags, std::uint32_t formId,
                                std::span<const std::uint8_t> data, std::uint32_t lastWord = 0);

    // Bytes outside the record recipe (the file header): not counted. It
    // appends only; use patch() for bytes written earlier.
    ByteWriter& raw() { return writer_; }

    // Rewrites bytes written earlier at file offset `position`; nothing when
    // they do not all lie inside the output so far.
    void patch(std::size_t position, std::span<const std::uint8_t> bytes);
    void patchU32(std::size_t position, std::uint32_t value);

    std::int32_t recordCount() const { return recordCount_; }
    // Records written so far per record type (groups not included).
    const std::map<Tag, int>& writtenByTag() const { return writtenByTag_; }
    void setCountFieldPosition(std::size_t position) { countField_ = position; }
    std::size_t countFieldPosition() const { return countField_; }
    // Writes the record count at the count field position (nothing when that
    // position holds no 4 bytes yet).
    void patchRecordCount();

    // The file offset of the next byte.
    std::size_t position() const { return base_ + bytes_.size(); }
    // The bytes held in memory: the whole output unless a sink is attached.
    std::vector<std::uint8_t>& bytes() { return bytes_; }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    struct OpenGroup {
        std::size_t headerPosition;
    };
    void handOverWhenFull();

    std::vector<std::uint8_t> bytes_;
    ByteWriter writer_{bytes_};
    std::size_t base_ = 0; // file offset of bytes_[0]: what the sink has received
    OutputSink* sink_ = nullptr;
    std::size_t blockSize_ = 0;
    bool sinkFailed_ = false;
    std::vector<OpenGroup> groups_;
    std::uint32_t formCounter_ = kFirstFormId;
    std::int32_t recordCount_ = 0;
    std::map<Tag, int> writtenByTag_;
    std::size_t countField_ = 0;
};

} // namespace lw::modshift
