#include "support/temp_dir.hpp"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace lw::test {

namespace fs = std::filesystem;

TempDir::TempDir(std::string_view label)
{
    std::random_device pick;
    const std::string unique = std::to_string(pick()) + std::to_string(pick());
    const fs::path name = fs::temp_directory_path() / (std::string(label) + "-" + unique);
    if (!fs::create_directory(name)) // taken: another test's folder
        throw std::runtime_error("temporary folder " + name.string() + " exists");
    root_ = fs::canonical(name);
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

std::string TempDir::readText(std::string_view relative) const
{
    std::ifstream in(*this / relative, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + (*this / relative).string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

fs::path TempDir::writeFile(std::string_view relative, const std::vector<std::uint8_t>& bytes) const
{
    writeFileBytes(*this / relative, bytes);
    return *this / relative;
}

std::vector<std::uint8_t> TempDir::readBytes(std::string_view relative) const
{
    const std::string text = readText(relative);
    return {text.begin(), text.end()};
}

std::set<std::string> TempDir::listFiles() const
{
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root_))
        if (entry.is_regular_file())
            names.insert(fs::relative(entry.path(), root_).generic_string());
    return names;
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
