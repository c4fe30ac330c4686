#pragma once
// A temporary folder for one test, removed with its contents at the end.
// Relative names use "/"; the writing helpers create missing folders.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lw::test {

class TempDir {
public:
    // `label` becomes part of the folder name, to tell leftovers apart.
    explicit TempDir(std::string_view label = "lw");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string str() const { return root_.string(); }
    // The full path of a relative name inside the folder (need not exist).
    std::filesystem::path operator/(std::string_view relative) const
    {
        return root_ / std::filesystem::path(relative).make_preferred();
    }
    std::filesystem::path makeDir(std::string_view relative) const;
    std::filesystem::path writeFile(std::string_view relative, std::string_view text) const;
    std::filesystem::path writeFile(std::string_view relative, const std::vector<std::uint8_t>& bytes) const;
    std::vector<std::uint8_t> readBytes(std::string_view relative) const;
    std::string readText(std::string_view relative) const
    {
        const std::vector<std::uint8_t> bytes = readBytes(relative);
        return {bytes.begin(), bytes.end()};
    }
    bool exists(std::string_view relative) const { return std::filesystem::exists(*this / relative); }
    // Every regular file below the folder, relative with "/" separators, sorted.
    std::vector<std::string> listFiles() const;

private:
    std::filesystem::path root_;
};

// Whole files anywhere; both throw std::runtime_error on failure.
std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& file);
void writeFileBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);

} // namespace lw::test
