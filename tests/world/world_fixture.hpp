#pragma once
// A small world to convert: a TES3 plugin built in memory, a run context with
// converted-record tables filled by hand (as the object converters would), and
// the world steps run against it. The output is read back with the independent
// TES4 reader.

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "common/console/console.hpp"
#include "common/platform/platform.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/driver/save_steps.hpp"
#include "support/tes3_builder.hpp"
#include "support/tes4_reader.hpp"

namespace lw::test {

// 24 bytes of reference DATA or DODT: position and rotation.
inline Fields placement(float x, float y, float z = 0, float rx = 0, float ry = 0, float rz = 0)
{
    return Fields().f32(x).f32(y).f32(z).f32(rx).f32(ry).f32(rz);
}

inline Fields cellData(std::uint32_t flags, std::int32_t x, std::int32_t y)
{
    return Fields().u32(flags).i32(x).i32(y);
}

// One reference: FRMR, NAME, DATA.
inline void reference(Tes3Builder& b, std::uint32_t index, std::string_view name, float x, float y)
{
    b.u32("FRMR", index).text("NAME", name).sub("DATA", placement(x, y, 7.0f, 0.25f, 0.5f, 1.0f));
}

// The subrecords of a LAND with every part present and flat heights.
inline void flatLand(Tes3Builder& b, bool withTextures = true)
{
    b.record("LAND");
    b.sub("VNML", Fields().zeros(65 * 65 * 3));
    b.sub("VHGT", Fields().f32(0.0f).zeros(65 * 65 + 3));
    b.sub("VCLR", Fields().zeros(65 * 65 * 3));
    if (withTextures)
        b.sub("VTEX", Fields().zeros(512));
    b.end();
}

struct World {
    explicit World(std::string keys = std::string(64, '\n'))
        : console(Console::capturing(std::move(keys))), platform(makeSystemPlatform()),
          c(*platform, console)
    {
        c.paths.pluginName = "Plug";
        c.out.reset();
    }

    // Loads the plugin into the run context and parses its record tree.
    void load(Tes3Builder& b)
    {
        c.plugin = b.bytes();
        ASSERT_EQ(modshift::parseRecordTree(c.plugin, c.tree, console), 0) << console.captured();
    }

    // A converted record named `id` (TES3 identifier, already safe) in `table`.
    void add(modshift::RecordTable& table, std::string_view id, std::uint32_t formId)
    {
        names.push_back("0" + std::string(id));
        std::size_t i = table.add(-1);
        table.setEditorId(i, names.back());
        table.setFormId(i, formId);
    }

    void addRegion(std::string_view id, std::uint32_t formId)
    {
        names.push_back("0" + std::string(id));
        modshift::Region r;
        r.editorId = names.back();
        r.hasName = true;
        r.formId = formId;
        c.world.regions.regions.push_back(r);
    }

    // Cells parse, interiors, worldspace, teleport doors; returns what was read back.
    Tes4File run()
    {
        modshift::parseCells(c);
        return write();
    }
    Tes4File write()
    {
        modshift::saveInteriorCells(c);
        modshift::saveWorldspace(c);
        modshift::connectTeleportDoors(c);
        return readTes4Body(c.out.bytes());
    }

    const std::string& text() const { return console.captured(); }

    Console console;
    std::unique_ptr<Platform> platform;
    modshift::Conversion c;
    std::deque<std::string> names; // EditorIDs the tables point at
};

inline std::size_t countOf(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The exterior CELL records of the worldspace, in file order, with the
// group of their children that follows each.
struct ExteriorCellView {
    const Tes4Record* cell = nullptr;
    const Tes4Group* children = nullptr; // type 6
    int x = 0;
    int y = 0;
};

inline void collectExteriorCells(const Tes4Group& g, std::vector<ExteriorCellView>& out)
{
    for (std::size_t i = 0; i < g.children.size(); ++i) {
        const Tes4Entry& e = g.children[i];
        if (e.isGroup) {
            if (e.group.groupType == 4 || e.group.groupType == 5)
                collectExteriorCells(e.group, out);
            continue;
        }
        if (e.record.tag != "CELL")
            continue;
        ExteriorCellView v;
        v.cell = &e.record;
        if (i + 1 < g.children.size() && g.children[i + 1].isGroup)
            v.children = &g.children[i + 1].group;
        if (const Tes4Subrecord* xclc = e.record.field("XCLC")) {
            v.x = xclc->i32(0);
            v.y = xclc->i32(4);
        }
        out.push_back(v);
    }
}

inline std::vector<ExteriorCellView> exteriorCells(const Tes4File& f)
{
    std::vector<ExteriorCellView> out;
    const Tes4Group* wrld = f.topGroup("WRLD");
    if (wrld == nullptr || wrld->groups().empty())
        return out;
    for (const Tes4Group* block : wrld->groups()[0]->groups()) {
        if (block->groupType == 4)
            collectExteriorCells(*block, out);
    }
    return out;
}

} // namespace lw::test
