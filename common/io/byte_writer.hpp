#pragma once
// Little-endian writing into a growing byte buffer, with in-place patching of
// values whose content is only known later (sizes, counts, links).

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace lw {

class ByteWriter {
public:
    ByteWriter() = default;
    explicit ByteWriter(std::vector<std::uint8_t>& target) : out_(&target) {}

    std::size_t size() const { return out_->size(); }
    const std::vector<std::uint8_t>& buffer() const { return *out_; }
    std::vector<std::uint8_t>& buffer() { return *out_; }

    void u8(std::uint8_t v) { out_->push_back(v); }
    void i8(std::int8_t v) { u8(static_cast<std::uint8_t>(v)); }
    void u16(std::uint16_t v) { put(v, 2); }
    void i16(std::int16_t v) { put(static_cast<std::uint16_t>(v), 2); }
    void u32(std::uint32_t v) { put(v, 4); }
    void i32(std::int32_t v) { put(static_cast<std::uint32_t>(v), 4); }
    void f32(float v) { put(std::bit_cast<std::uint32_t>(v), 4); }
    void bytes(std::span<const std::uint8_t> b) { out_->insert(out_->end(), b.begin(), b.end()); }
    // Byte by byte: GCC 12 at -O3 takes a range insert of chars into a vector
    // it has just grown for an overflow (-Wstringop-overflow).
    void chars(std::string_view s)
    {
        for (char c : s)
            out_->push_back(static_cast<std::uint8_t>(c));
    }
    // Text followed by its terminating zero byte.
    void text(std::string_view s)
    {
        chars(s);
        u8(0);
    }
    void zeros(std::size_t n) { out_->insert(out_->end(), n, 0); }

    void patchU16(std::size_t at, std::uint16_t v) { patch(at, v, 2); }
    void patchU32(std::size_t at, std::uint32_t v) { patch(at, v, 4); }

private:
    void put(std::uint32_t v, int n)
    {
        for (int i = 0; i < n; ++i)
            out_->push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void patch(std::size_t at, std::uint32_t v, int n)
    {
        for (int i = 0; i < n; ++i)
            (*out_)[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }

    std::vector<std::uint8_t> own_;
    std::vector<std::uint8_t>* out_ = &own_;
};

} // namespace lw
