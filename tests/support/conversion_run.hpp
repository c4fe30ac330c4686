#pragma once
// One modshift conversion on the in-memory platform, folders set as a user's
// configuration would set them, console captured.

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "common/console/console.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/tes3/record_tree.hpp"
#include "support/fake_platform.hpp"
#include "support/tes3_builder.hpp"
#include "support/tes4_reader.hpp"

namespace lw::test {

inline constexpr const char* kProgramFolder = "P:\\prog\\";
inline constexpr const char* kSourceData = "M:\\Morrowind\\Data Files";
inline constexpr const char* kTargetData = "O:\\Oblivion\\Data";

struct ConversionRun {
    FakePlatform platform;
    lw::Console console = lw::Console::capturing();
    std::unique_ptr<lw::modshift::Conversion> c;
    std::deque<std::string> names; // EditorIDs the tables point at

    ConversionRun()
    {
        platform.converterName = "meshshift.exe";
        platform.exitStatus = 0;
        platform.meshFolder = std::string(kTargetData) + "\\Meshes\\";
        c = std::make_unique<lw::modshift::Conversion>(platform, console);
        c->paths.programFolder = kProgramFolder;
        c->paths.meshConverter = std::string(kProgramFolder) + "meshshift.exe";
        c->paths.templateTexture = std::string(kProgramFolder) + "template_n.dds";
        c->paths.archivePath = std::string(kSourceData) + "\\Morrowind.bsa";
        c->config.sourceData = kSourceData;
        c->config.archiveName = "Morrowind.bsa";
        c->config.targetData = kTargetData;
        c->config.assetSubfolder = "mw";
        c->out.reset();
        c->rng.seed();
        c->tables.clearAll();
    }

    bool load(Tes3Builder& builder)
    {
        c->plugin = builder.bytes();
        int r = lw::modshift::parseRecordTree(c->plugin, c->tree, console);
        EXPECT_EQ(r, 0) << console.captured();
        console.clearCaptured();
        return r == 0;
    }

    Tes4File output() const
    {
        Tes4File f = readTes4Body(c->out.bytes());
        EXPECT_TRUE(f.ok()) << f.error;
        return f;
    }
    // Of the top-level group with this label.
    std::vector<const Tes4Record*> records(std::string_view label)
    {
        file_ = output();
        const Tes4Group* g = file_.topGroup(label);
        return g ? g->records() : std::vector<const Tes4Record*>{};
    }
    const std::string& text() const { return console.captured(); }
    // A record named `id` in `table` as an object converter leaves it.
    void add(lw::modshift::RecordTable& table, std::string_view id, std::uint32_t formId)
    {
        names.push_back("0" + std::string(id));
        std::size_t i = table.add(-1);
        table.setEditorId(i, names.back());
        table.setFormId(i, formId);
    }

private:
    Tes4File file_;
};

} // namespace lw::test
