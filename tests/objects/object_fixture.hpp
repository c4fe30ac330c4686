#pragma once
// A conversion over a fixture plugin with an in-memory file system and a mesh
// converter that is only pretended: the platform records every command line
// and answers with a chosen exit status; with status 0 it leaves the converted
// mesh behind, as the real converter does, so a second run finds it. Paths are
// kept exactly as the converters spell them.

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

inline constexpr const char* kProgramFolder = "P:\\prog\\";
inline constexpr const char* kMeshConverter = "P:\\prog\\meshshift.exe";
inline constexpr const char* kSourceData = "M:\\Morrowind\\Data Files";
inline constexpr const char* kTargetData = "O:\\Oblivion\\Data";
inline constexpr const char* kAsset = "mw";
inline constexpr const char* kArchive = "M:\\Morrowind\\Data Files\\Morrowind.bsa";

class StubPlatform : public lw::Platform {
public:
    std::map<std::string, std::vector<std::uint8_t>, std::less<>> files;
    std::vector<std::string> commands;   // every command line started
    std::vector<std::string> copies;     // "from -> to" of every copy asked for
    std::vector<std::string> folders;    // every folder creation asked for
    int exitStatus = 0;                  // what the mesh converter returns
    bool startable = true;               // false: the converter cannot be started
    std::map<std::string, int, std::less<>> statusFor; // by mesh (text after the first quote)

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
        if (!has(path))
            return std::nullopt;
        auto slash = path.find_last_of("\\/");
        return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
    }
    bool copyFileNoReplace(std::string_view from, std::string_view to) override
    {
        copies.push_back(std::string(from) + " -> " + std::string(to));
        auto it = files.find(from);
        if (it == files.end() || has(to))
            return false;
        files[std::string(to)] = it->second;
        return true;
    }
    bool createDirectory(std::string_view path) override
    {
        folders.emplace_back(path);
        return true;
    }
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
    std::optional<int> runProcess(std::string_view commandLine) override
    {
        commands.emplace_back(commandLine);
        if (!startable)
            return std::nullopt;
        std::vector<std::string> args = splitCommandLine(commandLine);
        int status = exitStatus;
        if (args.size() > 1)
            if (auto it = statusFor.find(args[1]); it != statusFor.end())
                status = it->second;
        // The destination is the argument after -d; the converter writes it below Meshes.
        for (std::size_t i = 0; status == 0 && i + 1 < args.size(); ++i)
            if (args[i] == "-d")
                put(std::string(kTargetData) + "\\Meshes\\" + args[i + 1], "converted mesh");
        return status;
    }
    std::string_view meshConverterName() const override { return "meshshift.exe"; }
};

// One conversion: the context, its platform and its captured console.
struct ObjectRun {
    StubPlatform platform;
    lw::Console console = lw::Console::capturing();
    std::unique_ptr<lw::modshift::Conversion> c;

    ObjectRun() { reset(); }

    // A fresh context over the same platform (files stay, as between two runs).
    void reset()
    {
        c = std::make_unique<lw::modshift::Conversion>(platform, console);
        c->paths.programFolder = kProgramFolder;
        c->paths.meshConverter = kMeshConverter;
        c->paths.templateTexture = std::string(kProgramFolder) + "template_n.dds";
        c->paths.archivePath = kArchive;
        c->config.sourceData = kSourceData;
        c->config.archiveName = "Morrowind.bsa";
        c->config.targetData = kTargetData;
        c->config.assetSubfolder = kAsset;
        c->out.reset();
        c->tables.clearAll();
        console.clearCaptured();
    }

    bool load(Tes3Builder& builder) { return load(builder.bytes()); }
    bool load(std::vector<std::uint8_t> plugin)
    {
        c->plugin = std::move(plugin);
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
    // The records of the top-level group with this label in `f` (none: empty).
    static std::vector<const Tes4Record*> group(const Tes4File& f, std::string_view label)
    {
        const Tes4Group* g = f.topGroup(label);
        return g ? g->records() : std::vector<const Tes4Record*>{};
    }
    void listFile(const std::string& name, std::string_view text)
    {
        platform.put(std::string(kProgramFolder) + name, text);
    }
};

} // namespace lw::test
