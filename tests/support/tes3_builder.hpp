#pragma once
// Builds TES3 plugins in memory, nested records and wrong sizes included:
//   b.record("STAT").text("NAME", "rock").text("MODL", "r\\rock.nif").end();

#include <algorithm>
#include <bit>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lw::test {

// Little-endian field data for a subrecord, built by chaining.
class Fields {
public:
    Fields& u8(std::uint8_t v) { return le(v, 1); }
    Fields& i8(std::int8_t v) { return u8(static_cast<std::uint8_t>(v)); }
    Fields& u16(std::uint16_t v) { return le(v, 2); }
    Fields& i16(std::int16_t v) { return u16(static_cast<std::uint16_t>(v)); }
    Fields& u32(std::uint32_t v) { return le(v, 4); }
    Fields& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    Fields& f32(float v) { return u32(std::bit_cast<std::uint32_t>(v)); }
    Fields& chars(std::string_view s) { return bytes({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()}); }
    // Zero-padded or cut to n bytes.
    Fields& fixed(std::string_view s, std::size_t n) { return chars(s.substr(0, n)).zeros(n - std::min(s.size(), n)); }
    Fields& zeros(std::size_t n) { data_.insert(data_.end(), n, 0); return *this; }
    Fields& bytes(std::span<const std::uint8_t> b) { data_.insert(data_.end(), b.begin(), b.end()); return *this; }

    const std::vector<std::uint8_t>& data() const { return data_; }
    operator std::span<const std::uint8_t>() const { return data_; }

private:
    Fields& le(std::uint32_t v, int n)
    {
        for (int i = 0; i < n; ++i)
            data_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    std::vector<std::uint8_t> data_;
};

// HEDR data (300 bytes): version 1.3, file type, author, description, record count.
inline std::vector<std::uint8_t> hedrData(std::string_view author, std::string_view description,
                                          std::uint32_t recordCount = 0, std::uint32_t fileType = 0)
{
    return Fields().f32(1.3f).u32(fileType).fixed(author, 32).fixed(description, 256).u32(recordCount).data();
}

class Tes3Builder {
public:
    // Opens a record, nested inside the open one if any.
    Tes3Builder& record(std::string_view tag, std::uint32_t flags = 0, std::uint32_t unused = 0)
    {
        open_.push_back(out_.size());
        return raw(Fields().chars(tag).u32(0).u32(unused).u32(flags));
    }
    Tes3Builder& end() { return endWithSize(static_cast<std::uint32_t>(out_.size() - open_.back() - 16)); }
    Tes3Builder& endWithSize(std::uint32_t declaredSize)
    {
        for (std::size_t i = 0; i < 4; ++i)
            out_[open_.back() + 4 + i] = static_cast<std::uint8_t>(declaredSize >> (8 * i));
        open_.pop_back();
        return *this;
    }

    Tes3Builder& sub(std::string_view tag, std::span<const std::uint8_t> data)
    {
        return subWithSize(tag, static_cast<std::uint32_t>(data.size()), data);
    }
    Tes3Builder& text(std::string_view tag, std::string_view text) { return sub(tag, Fields().chars(text).u8(0)); }
    Tes3Builder& chars(std::string_view tag, std::string_view text) { return sub(tag, Fields().chars(text)); }
    Tes3Builder& u8(std::string_view tag, std::uint8_t v) { return sub(tag, Fields().u8(v)); }
    Tes3Builder& u32(std::string_view tag, std::uint32_t v) { return sub(tag, Fields().u32(v)); }
    Tes3Builder& i32(std::string_view tag, std::int32_t v) { return sub(tag, Fields().i32(v)); }
    Tes3Builder& f32(std::string_view tag, float v) { return sub(tag, Fields().f32(v)); }
    // `data` may be shorter or longer than declared.
    Tes3Builder& subWithSize(std::string_view tag, std::uint32_t declaredSize, std::span<const std::uint8_t> data = {})
    {
        return raw(Fields().chars(tag).u32(declaredSize).bytes(data));
    }
    Tes3Builder& raw(std::span<const std::uint8_t> bytes)
    {
        out_.insert(out_.end(), bytes.begin(), bytes.end());
        return *this;
    }

    Tes3Builder& header(std::string_view author = {}, std::string_view description = {}, std::uint32_t recordCount = 0)
    {
        return record("TES3").sub("HEDR", hedrData(author, description, recordCount)).end();
    }

    std::vector<std::uint8_t> bytes()
    {
        while (!open_.empty())
            end();
        return out_;
    }

private:
    std::vector<std::uint8_t> out_;
    std::vector<std::size_t> open_; // header positions
};

} // namespace lw::test
