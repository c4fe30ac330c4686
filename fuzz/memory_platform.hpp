#pragma once
// A platform whose files live in memory, for running whole conversions inside
// a fuzz target: nothing touches the disk, and starting a program succeeds
// without running anything.

#include <map>
#include <string>

#include "common/platform/platform.hpp"

namespace lw::fuzz {

class MemoryPlatform : public Platform {
public:
    std::map<std::string, std::vector<std::uint8_t>, std::less<>> files;
    // Every mesh counts as converted already, so no program is started.
    bool meshesPresent = true;

    std::string nativePath(std::string_view path) override { return std::string(path); }

    std::optional<std::string> findFile(std::string_view path) override
    {
        bool mesh = path.size() >= 4 && path.substr(path.size() - 4) == ".nif";
        if (files.count(path) == 0 && !(meshesPresent && mesh))
            return std::nullopt;
        std::size_t cut = path.find_last_of("\\/");
        return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
    }

    bool copyFileNoReplace(std::string_view from, std::string_view to) override
    {
        auto it = files.find(from);
        if (it == files.end() || files.count(to))
            return false;
        files.emplace(std::string(to), it->second);
        return true;
    }

    bool createDirectory(std::string_view) override { return true; }

    std::optional<std::vector<std::uint8_t>> readFile(std::string_view path) override
    {
        auto it = files.find(path);
        if (it == files.end())
            return std::nullopt;
        return it->second;
    }

    bool writeFile(std::string_view path, const std::vector<std::uint8_t>& bytes) override
    {
        files[std::string(path)] = bytes;
        return true;
    }

    std::optional<int> runProcess(std::string_view) override { return 0; }

    std::string_view meshConverterName() const override { return "meshshift"; }

    void add(const std::string& path, const std::uint8_t* data, std::size_t size)
    {
        files[path] = std::vector<std::uint8_t>(data, data + size);
    }
    void add(const std::string& path, std::string_view text)
    {
        files[path] = std::vector<std::uint8_t>(text.begin(), text.end());
    }
};

// The settings every in-memory run uses.
inline constexpr std::string_view kIni = "Source=src\nArchive=data.bsa\nTarget=dst\nFolder=sub\n";

} // namespace lw::fuzz
