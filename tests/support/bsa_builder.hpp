#pragma once
// Builds Morrowind BSA archives (version 0x100) for tests. Entries keep the
// order in which they were added, in the directory and in the data section,
// so tests control which of two equal names comes first. Paths are stored as
// given (real archives hold lower-case paths with "\" separators).

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lw::test {

class BsaBuilder {
public:
    BsaBuilder& add(std::string path, std::vector<std::uint8_t> data);
    BsaBuilder& add(std::string path, std::string_view text);

    std::vector<std::uint8_t> build() const;
    void write(const std::filesystem::path& file) const;

private:
    static constexpr std::size_t kRecordsAt = 12;
    std::size_t hashesAt() const;

    struct Entry {
        std::string path;
        std::vector<std::uint8_t> data;
    };
    std::vector<Entry> entries_;
};

// The 64-bit hash Morrowind's archives keep for each path (low word first):
// the first half of the name folded into one word, the second half rotated in.
std::uint64_t morrowindBsaHash(std::string_view path);

} // namespace lw::test
