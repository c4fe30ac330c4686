#pragma once
// Builds BSA archives (version 0x100), entries in the order added.

#include <bit>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/temp_dir.hpp"
#include "support/tes3_builder.hpp"

namespace lw::test {

class BsaBuilder {
public:
    BsaBuilder& add(std::string path, std::vector<std::uint8_t> data)
    {
        entries_.emplace_back(std::move(path), std::move(data));
        return *this;
    }
    BsaBuilder& add(std::string path, std::string_view text)
    {
        return add(std::move(path), std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    void write(const std::filesystem::path& file) const { writeFileBytes(file, build()); }

    std::vector<std::uint8_t> build() const
    {
        Fields sizes, nameOffsets, names, hashes, data;
        for (const auto& [path, bytes] : entries_) {
            sizes.u32(static_cast<std::uint32_t>(bytes.size())).u32(static_cast<std::uint32_t>(data.data().size()));
            nameOffsets.u32(static_cast<std::uint32_t>(names.data().size()));
            names.chars(path).u8(0);
            // The hash (low word first): the name's first half folded into one word, the second half rotated in.
            std::uint32_t word[2] = {0, 0};
            for (std::size_t i = 0, half = path.size() / 2; i < path.size(); ++i) {
                const std::uint32_t value = std::uint32_t{static_cast<unsigned char>(path[i])}
                                            << (8 * (i < half ? i : i - half) & 31);
                word[i >= half] ^= value;
                if (i >= half)
                    word[1] = std::rotr(word[1], static_cast<int>(value & 31));
            }
            hashes.u32(word[0]).u32(word[1]);
            data.bytes(bytes);
        }
        // Counted from the end of the 12-byte header.
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

private:
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> entries_;
};

} // namespace lw::test
