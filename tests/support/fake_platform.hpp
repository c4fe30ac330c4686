#pragma once
// The in-memory platform: files by exact path, failing writes and reads per
// path, and a mesh converter that records each command line and leaves a mesh
// in the mesh folder when it succeeds.

#include <map>
#include <new>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/platform/platform.hpp"

namespace lw::test {

class FakePlatform : public Platform {
public:
    std::map<std::string, std::vector<std::uint8_t>, std::less<>> files;
    std::set<std::string, std::less<>> unwritable;
    std::string outOfMemoryOn; // readFile of this path throws std::bad_alloc
    std::string faultOn;       // readFile of this path throws std::runtime_error
    std::vector<std::string> started; // every command line started
    std::vector<std::string> folders; // every folder creation asked for
    std::optional<int> exitStatus = 1; // of the mesh converter; none: cannot start
    std::map<std::string, int, std::less<>> statusFor; // by mesh (the first argument)
    std::string meshFolder; // where a successful conversion leaves its mesh
    std::string converterName = "meshshift";

    void put(const std::string& path, std::string_view text)
    {
        files[path] = std::vector<std::uint8_t>(text.begin(), text.end());
    }
    bool has(std::string_view path) const { return files.find(path) != files.end(); }
    std::string textOf(std::string_view path) const
    {
        auto it = files.find(path);
        return it == files.end() ? std::string("<missing>") : std::string(it->second.begin(), it->second.end());
    }

    std::string nativePath(std::string_view path) override { return std::string(path); }
    std::optional<std::string> findFile(std::string_view path) override
    {
        const auto slash = path.find_last_of("\\/"); // npos + 1 is 0
        return has(path) ? std::optional<std::string>(path.substr(slash + 1)) : std::nullopt;
    }
    bool copyFileNoReplace(std::string_view from, std::string_view to) override
    {
        auto it = files.find(from);
        return it != files.end() && !has(to) && files.emplace(to, it->second).second;
    }
    bool createDirectory(std::string_view path) override
    {
        folders.emplace_back(path);
        return true;
    }
    std::optional<std::vector<std::uint8_t>> readFile(std::string_view path) override
    {
        if (!outOfMemoryOn.empty() && path == outOfMemoryOn)
            throw std::bad_alloc();
        if (!faultOn.empty() && path == faultOn)
            throw std::runtime_error("injected fault");
        auto it = files.find(path);
        return it == files.end() ? std::nullopt : std::optional(it->second);
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
        if (!exitStatus)
            return std::nullopt;
        std::vector<std::string> args = splitCommandLine(commandLine);
        int status = *exitStatus;
        if (args.size() > 1)
            if (auto it = statusFor.find(args[1]); it != statusFor.end())
                status = it->second;
        for (std::size_t i = 0; status == 0 && !meshFolder.empty() && i + 1 < args.size(); ++i)
            if (args[i] == "-d")
                put(meshFolder + args[i + 1], "converted mesh");
        return status;
    }
    std::string_view meshConverterName() const override { return converterName; }
    std::string programFolder() override { return "/prog/"; }
};

} // namespace lw::test
