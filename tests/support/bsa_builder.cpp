#include "support/bsa_builder.hpp"

#include <bit>

#include "common/io/byte_writer.hpp"
#include "support/temp_dir.hpp"

namespace lw::test {

BsaBuilder& BsaBuilder::add(std::string path, std::vector<std::uint8_t> data)
{
    entries_.push_back({std::move(path), std::move(data)});
    return *this;
}

BsaBuilder& BsaBuilder::add(std::string path, std::string_view text)
{
    return add(std::move(path), std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::size_t BsaBuilder::hashesAt() const
{
    std::size_t names = 0;
    for (const Entry& e : entries_)
        names += e.path.size() + 1;
    return kRecordsAt + 12 * entries_.size() + names;
}

std::vector<std::uint8_t> BsaBuilder::build() const
{
    std::vector<std::uint8_t> out;
    ByteWriter w(out);
    const auto n = static_cast<std::uint32_t>(entries_.size());
    w.u32(0x100);
    w.u32(static_cast<std::uint32_t>(hashesAt() - kRecordsAt));
    w.u32(n);
    std::uint32_t dataOffset = 0;
    for (const Entry& e : entries_) {
        w.u32(static_cast<std::uint32_t>(e.data.size()));
        w.u32(dataOffset);
        dataOffset += static_cast<std::uint32_t>(e.data.size());
    }
    std::uint32_t nameOffset = 0;
    for (const Entry& e : entries_) {
        w.u32(nameOffset);
        nameOffset += static_cast<std::uint32_t>(e.path.size() + 1);
    }
    for (const Entry& e : entries_)
        w.text(e.path);
    for (const Entry& e : entries_) {
        const std::uint64_t hash = morrowindBsaHash(e.path);
        w.u32(static_cast<std::uint32_t>(hash));
        w.u32(static_cast<std::uint32_t>(hash >> 32));
    }
    for (const Entry& e : entries_)
        w.bytes(e.data);
    return out;
}

void BsaBuilder::write(const std::filesystem::path& file) const
{
    writeFileBytes(file, build());
}

std::uint64_t morrowindBsaHash(std::string_view path)
{
    const std::size_t half = path.size() / 2;
    std::uint32_t low = 0;
    unsigned shift = 0;
    for (std::size_t i = 0; i < half; ++i) {
        low ^= static_cast<std::uint32_t>(static_cast<unsigned char>(path[i])) << (shift & 31);
        shift += 8;
    }
    std::uint32_t high = 0;
    shift = 0;
    for (std::size_t i = half; i < path.size(); ++i) {
        const std::uint32_t value = static_cast<std::uint32_t>(static_cast<unsigned char>(path[i])) << (shift & 31);
        high ^= value;
        high = std::rotr(high, static_cast<int>(value & 31));
        shift += 8;
    }
    return (std::uint64_t{high} << 32) | low;
}

} // namespace lw::test
