#include "support/temp_dir.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace lw::test {

namespace fs = std::filesystem;

TempDir::TempDir(std::string_view label)
{
    std::random_device pick;
    for (int attempt = 0; attempt < 100 && root_.empty(); ++attempt) {
        // create_directory is false when the name is taken: try another one.
        const std::string name = std::string(label) + "-" + std::to_string(pick()) + std::to_string(pick());
        if (fs::create_directory(fs::temp_directory_path() / name))
            root_ = fs::canonical(fs::temp_directory_path() / name);
    }
    if (root_.empty())
        throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(root_, ec); // nothing sensible to do about a failure here
}

fs::path TempDir::makeDir(std::string_view relative) const
{
    fs::create_directories(*this / relative);
    return *this / relative;
}

fs::path TempDir::writeFile(std::string_view relative, std::string_view text) const
{
    return writeFile(relative, std::vector<std::uint8_t>(text.begin(), text.end()));
}

fs::path TempDir::writeFile(std::string_view relative, const std::vector<std::uint8_t>& bytes) const
{
    writeFileBytes(*this / relative, bytes);
    return *this / relative;
}

std::vector<std::uint8_t> TempDir::readBytes(std::string_view relative) const { return readFileBytes(*this / relative); }

std::vector<std::string> TempDir::listFiles() const
{
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root_))
        if (entry.is_regular_file())
            names.push_back(fs::relative(entry.path(), root_).generic_string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::uint8_t> readFileBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + file.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFileBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes)
{
    if (file.has_parent_path())
        fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + file.string());
}

} // namespace lw::test
