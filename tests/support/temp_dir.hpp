#pragma once
// A temporary folder for one test, removed with its contents at the end.
// Relative names use "/"; the writing helpers create missing folders.

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace lw::test {

class TempDir {
public:
    explicit TempDir(std::string_view label = "lw");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string str() const { return root_.string(); }
    std::filesystem::path operator/(std::string_view relative) const
    {
        return root_ / std::filesystem::path(relative).make_preferred();
    }
    std::filesystem::path makeDir(std::string_view relative) const;
    std::filesystem::path writeFile(std::string_view relative, std::string_view text) const;
    std::filesystem::path writeFile(std::string_view relative, const std::vector<std::uint8_t>& bytes) const;
    std::vector<std::uint8_t> readBytes(std::string_view relative) const;
    std::string readText(std::string_view relative) const;
    bool exists(std::string_view relative) const { return std::filesystem::exists(*this / relative); }
    // Every regular file below the folder, relative with "/" separators, sorted.
    std::set<std::string> listFiles() const;

private:
    std::filesystem::path root_;
};

// Throws std::runtime_error on failure.
void writeFileBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);

} // namespace lw::test
