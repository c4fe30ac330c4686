#pragma once
// A conversion over a fixture plugin with an in-memory file system, for the
// character converter tests. Paths are kept exactly as the converters spell
// them ("prog\faces\Heads.ini"), so a test sees every name the code builds.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/console/console.hpp"
#include "common/platform/platform.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/tes3/record_tree.hpp"
#include "support/tes3_builder.hpp"
#include "support/tes4_reader.hpp"

namespace lw::test {

class MemoryPlatform : public lw::Platform {
public:
    std::map<std::string, std::vector<std::uint8_t>> files;
    std::vector<std::string> log; // "mkdir <path>", "copy <from> -> <to>", "read <path>"

    void put(const std::string& path, const std::vector<std::uint8_t>& bytes) { files[path] = bytes; }
    void put(const std::string& path, std::string_view text)
    {
        files[path] = std::vector<std::uint8_t>(text.begin(), text.end());
    }
    bool has(const std::string& path) const { return files.count(path) != 0; }
    std::size_t reads(const std::string& path) const
    {
        std::size_t n = 0;
        for (const std::string& line : log)
            n += line == "read " + path;
        return n;
    }
    // Position of the first log line equal to `line`, or -1.
    int logIndex(const std::string& line) const
    {
        for (std::size_t i = 0; i < log.size(); ++i)
            if (log[i] == line)
                return static_cast<int>(i);
        return -1;
    }

    std::string nativePath(std::string_view path) override { return std::string(path); }
    std::optional<std::string> findFile(std::string_view path) override
    {
        if (!has(std::string(path)))
            return std::nullopt;
        std::string p(path);
        return p.substr(p.find_last_of("\\/") + 1);
    }
    bool copyFileNoReplace(std::string_view from, std::string_view to) override
    {
        log.push_back("copy " + std::string(from) + " -> " + std::string(to));
        auto src = files.find(std::string(from));
        if (src == files.end() || has(std::string(to)))
            return false;
        files[std::string(to)] = src->second;
        return true;
    }
    bool createDirectory(std::string_view path) override
    {
        log.push_back("mkdir " + std::string(path));
        return true;
    }
    std::optional<std::vector<std::uint8_t>> readFile(std::string_view path) override
    {
        log.push_back("read " + std::string(path));
        auto it = files.find(std::string(path));
        if (it == files.end())
            return std::nullopt;
        return it->second;
    }
    bool writeFile(std::string_view path, const std::vector<std::uint8_t>& bytes) override
    {
        files[std::string(path)] = bytes;
        return true;
    }
    std::optional<int> runProcess(std::string_view) override { return std::nullopt; }
    std::string_view meshConverterName() const override { return "meshshift"; }
};

inline constexpr const char* kProgram = "prog\\";
inline constexpr const char* kTarget = "T:\\Oblivion\\Data";

// One conversion: the context, its platform and its captured console.
struct CharacterRun {
    MemoryPlatform platform;
    lw::Console console = lw::Console::capturing();
    std::unique_ptr<lw::modshift::Conversion> c;

    CharacterRun()
    {
        c = std::make_unique<lw::modshift::Conversion>(platform, console);
        c->paths.programFolder = kProgram;
        c->config.targetData = kTarget;
        c->config.sourceData = "M:\\Morrowind\\Data Files";
        c->config.archiveName = "Morrowind.bsa";
        c->out.reset();
        c->rng.seed();
        c->tables.clearAll();
    }

    // Loads the plugin into the context; false (with a test failure) when it
    // does not parse.
    bool load(Tes3Builder& builder)
    {
        c->plugin = builder.bytes();
        int r = lw::modshift::parseRecordTree(c->plugin, c->tree, console);
        EXPECT_EQ(r, 0) << console.captured();
        console.clearCaptured();
        return r == 0;
    }

    // What the converters wrote, read back independently.
    Tes4File output() const
    {
        Tes4File f = readTes4Body(c->out.bytes());
        EXPECT_TRUE(f.ok()) << f.error;
        return f;
    }
    const std::string& text() const { return console.captured(); }
};

// Record data size as the header states it, checked against the bytes that
// follow it by the reader; this returns it for formula checks.
inline std::uint32_t dataSize(const Tes4Record& r) { return r.dataSize; }

} // namespace lw::test
