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
    BsaBuilder& add(std::string path, std::vector<std::uint8_t> data)
    {
        entries_.emplace_back(std::move(path), std::move(data));
        return *this;
    }
    BsaBuilder& add(std::string path, std::string_view text)
    {
        return add(std::move(path), std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    std::vector<std::uint8_t> build() const;
    void write(const std::filesystem::path& file) const;

private:
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> entries_; // path, data
};

} // namespace lw::test
