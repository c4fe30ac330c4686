#include "support/bsa_builder.hpp"

#include <bit>

#include "support/temp_dir.hpp"
#include "support/tes3_builder.hpp"

namespace lw::test {

namespace {

// The 64-bit hash the archive keeps for each path (low word first): the first
// half of the name folded into one word, the second half rotated in.
std::uint64_t pathHash(std::string_view path)
{
    std::uint32_t word[2] = {0, 0};
    const std::size_t half = path.size() / 2;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const int h = i < half ? 0 : 1;
        const std::uint32_t value = std::uint32_t{static_cast<unsigned char>(path[i])}
                                    << (8 * (h == 0 ? i : i - half) & 31);
        word[h] ^= value;
        if (h == 1)
            word[1] = std::rotr(word[1], static_cast<int>(value & 31));
    }
    return (std::uint64_t{word[1]} << 32) | word[0];
}

} // namespace

std::vector<std::uint8_t> BsaBuilder::build() const
{
    Fields sizes, nameOffsets, names, hashes, data;
    for (const auto& [path, bytes] : entries_) {
        sizes.u32(static_cast<std::uint32_t>(bytes.size())).u32(static_cast<std::uint32_t>(data.data().size()));
        nameOffsets.u32(static_cast<std::uint32_t>(names.data().size()));
        names.chars(path).u8(0);
        const std::uint64_t hash = pathHash(path);
        hashes.u32(static_cast<std::uint32_t>(hash)).u32(static_cast<std::uint32_t>(hash >> 32));
        data.bytes(bytes);
    }
    // The header's second word: where the hashes begin, counted from the end of the 12-byte header.
    const std::size_t hashesAt = sizes.data().size() + nameOffsets.data().size() + names.data().size();
    return Fields()
        .u32(0x100)
        .u32(static_cast<std::uint32_t>(hashesAt))
        .u32(static_cast<std::uint32_t>(entries_.size()))
        .bytes(sizes)
        .bytes(nameOffsets)
        .bytes(names)
        .bytes(hashes)
        .bytes(data)
        .data();
}

void BsaBuilder::write(const std::filesystem::path& file) const { writeFileBytes(file, build()); }

} // namespace lw::test
