#include "support/tes3_builder.hpp"

#include <stdexcept>

namespace lw::test {

void Tes3Builder::putTag(std::string_view tag)
{
    if (tag.size() != 4)
        throw std::invalid_argument("a tag has four characters: " + std::string(tag));
    out_.insert(out_.end(), tag.begin(), tag.end());
}

Tes3Builder& Tes3Builder::record(std::string_view tag, std::uint32_t flags, std::uint32_t unused)
{
    open_.push_back(out_.size());
    putTag(tag);
    return raw(Fields().u32(0).u32(unused).u32(flags));
}

Tes3Builder& Tes3Builder::end()
{
    if (open_.empty())
        throw std::logic_error("end() without an open record");
    return endWithSize(static_cast<std::uint32_t>(out_.size() - open_.back() - 16));
}

Tes3Builder& Tes3Builder::endWithSize(std::uint32_t declaredSize)
{
    if (open_.empty())
        throw std::logic_error("endWithSize() without an open record");
    const std::vector<std::uint8_t> size = Fields().u32(declaredSize).data();
    std::copy(size.begin(), size.end(), out_.begin() + static_cast<std::ptrdiff_t>(open_.back() + 4));
    open_.pop_back();
    return *this;
}

Tes3Builder& Tes3Builder::subWithSize(std::string_view tag, std::uint32_t declaredSize, std::span<const std::uint8_t> data)
{
    putTag(tag);
    raw(Fields().u32(declaredSize));
    return raw(data);
}

Tes3Builder& Tes3Builder::header(std::string_view author, std::string_view description, std::uint32_t recordCount)
{
    return record("TES3").sub("HEDR", hedrData(author, description, recordCount)).end();
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
    return Fields().f32(1.3f).u32(fileType).fixed(author, 32).fixed(description, 256).u32(recordCount).data();
}

} // namespace lw::test
