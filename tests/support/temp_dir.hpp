#pragma once
// A temporary folder for one test: created empty under the system's temporary
// folder with a unique name, removed with everything in it when the object goes
// away. Relative names use "/" and may contain sub-folders, which are created
// on demand by the writing helpers.

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

    const std::filesystem::path& path() const { return root_; }
    // The folder as a string in the system's own spelling.
    std::string str() const { return root_.string(); }
    // The full path of a relative name inside the folder (need not exist).
    std::filesystem::path operator/(std::string_view relative) const;

    // Creates a folder (and its parents) inside; returns its full path.
    std::filesystem::path makeDir(std::string_view relative) const;
    // Writes a file (creating its folders), replacing an existing one.
    std::filesystem::path writeFile(std::string_view relative, std::string_view text) const;
    std::filesystem::path writeFile(std::string_view relative, const std::vector<std::uint8_t>& bytes) const;
    // Reads a whole file; throws std::runtime_error when it cannot be read.
    std::vector<std::uint8_t> readBytes(std::string_view relative) const;
    std::string readText(std::string_view relative) const;
    bool exists(std::string_view relative) const;
    // Every regular file below the folder, relative with "/" separators, sorted.
    std::vector<std::string> listFiles() const;

private:
    std::filesystem::path root_;
};

// Whole-file helpers for paths outside a TempDir (throw on failure).
std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& file);
void writeFileBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);

} // namespace lw::test
