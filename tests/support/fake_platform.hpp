#pragma once
// An in-memory platform for running modshift's flow inside a test: files are
// a map from the exact path to its bytes; writes can be made to fail per path,
// and reads of one path can run out of memory.

#include <map>
#include <new>
#include <set>
#include <stdexcept>
#include <string>

#include "common/platform/platform.hpp"

namespace lw::test {

class FakePlatform : public Platform {
public:
    std::map<std::string, std::vector<std::uint8_t>, std::less<>> files;
    std::set<std::string, std::less<>> unwritable;
    std::string outOfMemoryOn; // readFile of this path throws std::bad_alloc
    std::string faultOn;       // readFile of this path throws std::runtime_error
    std::vector<std::string> started;

    void put(const std::string& path, std::string_view text)
    {
        files[path] = std::vector<std::uint8_t>(text.begin(), text.end());
    }

    std::string nativePath(std::string_view path) override { return std::string(path); }
    std::optional<std::string> findFile(std::string_view path) override
    {
        if (files.find(path) == files.end())
            return std::nullopt;
        auto slash = path.find_last_of("\\/");
        return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
    }
    bool copyFileNoReplace(std::string_view from, std::string_view to) override
    {
        auto it = files.find(from);
        if (it == files.end() || files.find(to) != files.end())
            return false;
        files[std::string(to)] = it->second;
        return true;
    }
    bool createDirectory(std::string_view) override { return true; }
    std::optional<std::vector<std::uint8_t>> readFile(std::string_view path) override
    {
        if (!outOfMemoryOn.empty() && path == outOfMemoryOn)
            throw std::bad_alloc();
        if (!faultOn.empty() && path == faultOn)
            throw std::runtime_error("injected fault");
        auto it = files.find(path);
        if (it == files.end())
            return std::nullopt;
        return it->second;
    }
    bool writeFile(std::string_view path, const std::vector<std::uint8_t>& bytes) override
    {
        if (unwritable.count(path) != 0)
            return false;
        files[std::string(path)] = bytes;
        return true;
    }
    std::optional<int> runProcess(std::string_view commandLine) override
    {
        started.emplace_back(commandLine);
        return 1; // every mesh conversion fails: no meshes are produced here
    }
    std::string_view meshConverterName() const override { return "meshshift"; }
    std::string runningFolder = "/prog/";
    std::string programFolder() override { return runningFolder; }
};

} // namespace lw::test
