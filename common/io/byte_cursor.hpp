#pragma once
// Bounded little-endian reading over bytes held in memory.
//
// Every parser of input (record tree, BSA directory, NIF meshes, the template,
// ini and list files) reads through a ByteCursor. A read that would pass the end
// returns zero (or an empty span), leaves the position where it was and marks
// the cursor as failed; the failure is sticky, so a parser can read a whole
// structure and check ok() once before trusting any of it.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

namespace lw {

using Bytes = std::span<const std::uint8_t>;

class ByteCursor {
public:
    ByteCursor() = default;
    explicit ByteCursor(Bytes data) : data_(data) {}

    std::size_t size() const { return data_.size(); }
    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return data_.size() - pos_; }
    bool atEnd() const { return pos_ == data_.size(); }
    bool ok() const { return !failed_; }
    bool failed() const { return failed_; }
    // Marks the cursor failed, for parsers that find a value they cannot accept.
    void fail() { failed_ = true; }
    bool has(std::size_t n) const { return n <= remaining(); }
    Bytes whole() const { return data_; }

    bool seek(std::size_t pos)
    {
        if (pos > data_.size()) {
            failed_ = true;
            return false;
        }
        pos_ = pos;
        return true;
    }
    bool skip(std::size_t n)
    {
        if (!has(n)) {
            failed_ = true;
            return false;
        }
        pos_ += n;
        return true;
    }

    std::uint8_t u8() { return read<std::uint8_t>(); }
    std::int8_t i8() { return read<std::int8_t>(); }
    std::uint16_t u16() { return read<std::uint16_t>(); }
    std::int16_t i16() { return read<std::int16_t>(); }
    std::uint32_t u32() { return read<std::uint32_t>(); }
    std::int32_t i32() { return read<std::int32_t>(); }
    float f32() { return std::bit_cast<float>(read<std::uint32_t>()); }

    // The next n bytes as a view into the image; empty (and failed) when short.
    Bytes bytes(std::size_t n)
    {
        if (!has(n)) {
            failed_ = true;
            return {};
        }
        Bytes out = data_.subspan(pos_, n);
        pos_ += n;
        return out;
    }
    std::string_view chars(std::size_t n)
    {
        Bytes b = bytes(n);
        return {reinterpret_cast<const char*>(b.data()), b.size()};
    }
    // A cursor over the next n bytes; this cursor moves past them.
    ByteCursor sub(std::size_t n)
    {
        ByteCursor inner(bytes(n));
        if (failed_)
            inner.failed_ = true;
        return inner;
    }

private:
    template <class T>
    T read()
    {
        if (!has(sizeof(T))) {
            failed_ = true;
            return T{};
        }
        T value;
        std::memcpy(&value, data_.data() + pos_, sizeof(T));
        if constexpr (std::endian::native == std::endian::big && sizeof(T) > 1)
            value = byteswap(value);
        pos_ += sizeof(T);
        return value;
    }
    template <class T>
    static T byteswap(T v)
    {
        auto u = static_cast<std::make_unsigned_t<T>>(v);
        std::make_unsigned_t<T> r = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            r = static_cast<std::make_unsigned_t<T>>((r << 8) | ((u >> (8 * i)) & 0xFF));
        return static_cast<T>(r);
    }

    Bytes data_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

} // namespace lw
