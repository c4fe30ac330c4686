#include "support/tes3_builder.hpp"

#include <bit>
#include <cstring>
#include <stdexcept>

namespace lw::test {

namespace {
void appendLe(std::vector<std::uint8_t>& out, std::uint32_t v, int n)
{
    for (int i = 0; i < n; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
} // namespace

Fields& Fields::u8(std::uint8_t v)
{
    data_.push_back(v);
    return *this;
}
Fields& Fields::u16(std::uint16_t v)
{
    appendLe(data_, v, 2);
    return *this;
}
Fields& Fields::u32(std::uint32_t v)
{
    appendLe(data_, v, 4);
    return *this;
}
Fields& Fields::f32(float v)
{
    appendLe(data_, std::bit_cast<std::uint32_t>(v), 4);
    return *this;
}
Fields& Fields::chars(std::string_view s)
{
    data_.insert(data_.end(), s.begin(), s.end());
    return *this;
}
Fields& Fields::fixed(std::string_view s, std::size_t n)
{
    s = s.substr(0, std::min(s.size(), n));
    chars(s);
    return zeros(n - s.size());
}
Fields& Fields::zeros(std::size_t n)
{
    data_.insert(data_.end(), n, 0);
    return *this;
}
Fields& Fields::bytes(std::span<const std::uint8_t> b)
{
    data_.insert(data_.end(), b.begin(), b.end());
    return *this;
}

void Tes3Builder::putTag(std::string_view tag)
{
    if (tag.size() != 4)
        throw std::invalid_argument("a tag has four characters: " + std::string(tag));
    out_.insert(out_.end(), tag.begin(), tag.end());
}

void Tes3Builder::putU32(std::uint32_t v) { appendLe(out_, v, 4); }

Tes3Builder& Tes3Builder::record(std::string_view tag, std::uint32_t flags, std::uint32_t unused)
{
    open_.push_back(out_.size());
    putTag(tag);
    putU32(0);
    putU32(unused);
    putU32(flags);
    return *this;
}

Tes3Builder& Tes3Builder::end()
{
    if (open_.empty())
        throw std::logic_error("end() without an open record");
    std::size_t at = open_.back();
    return endWithSize(static_cast<std::uint32_t>(out_.size() - at - 16));
}

Tes3Builder& Tes3Builder::endWithSize(std::uint32_t declaredSize)
{
    if (open_.empty())
        throw std::logic_error("endWithSize() without an open record");
    std::size_t at = open_.back() + 4;
    open_.pop_back();
    for (int i = 0; i < 4; ++i)
        out_[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(declaredSize >> (8 * i));
    return *this;
}

Tes3Builder& Tes3Builder::sub(std::string_view tag, std::span<const std::uint8_t> data)
{
    return subWithSize(tag, static_cast<std::uint32_t>(data.size()), data);
}

Tes3Builder& Tes3Builder::subWithSize(std::string_view tag, std::uint32_t declaredSize,
                                      std::span<const std::uint8_t> data)
{
    putTag(tag);
    putU32(declaredSize);
    out_.insert(out_.end(), data.begin(), data.end());
    return *this;
}

Tes3Builder& Tes3Builder::text(std::string_view tag, std::string_view text)
{
    return sub(tag, Fields().chars(text).u8(0));
}

Tes3Builder& Tes3Builder::chars(std::string_view tag, std::string_view text)
{
    return sub(tag, Fields().chars(text));
}

Tes3Builder& Tes3Builder::u8(std::string_view tag, std::uint8_t v) { return sub(tag, Fields().u8(v)); }
Tes3Builder& Tes3Builder::u32(std::string_view tag, std::uint32_t v) { return sub(tag, Fields().u32(v)); }
Tes3Builder& Tes3Builder::i32(std::string_view tag, std::int32_t v) { return sub(tag, Fields().i32(v)); }
Tes3Builder& Tes3Builder::f32(std::string_view tag, float v) { return sub(tag, Fields().f32(v)); }

Tes3Builder& Tes3Builder::raw(std::span<const std::uint8_t> bytes)
{
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return *this;
}

Tes3Builder& Tes3Builder::header(std::string_view author, std::string_view description,
                                 std::uint32_t recordCount)
{
    record("TES3");
    sub("HEDR", hedrData(author, description, recordCount));
    return end();
}

std::vector<std::uint8_t> Tes3Builder::bytes()
{
    while (!open_.empty())
        end();
    return out_;
}

std::vector<std::uint8_t> hedrData(std::string_view author, std::string_view description,
                                   std::uint32_t recordCount, std::uint32_t fileType)
{
    return Fields()
        .f32(1.3f)
        .u32(fileType)
        .fixed(author, 32)
        .fixed(description, 256)
        .u32(recordCount)
        .data();
}

} // namespace lw::test
