// The demo plugin: a small Morrowind-style world that touches every record
// type the converter knows. All names, numbers and text are the project's own.

#include "demo_data.hpp"

#include <cmath>
#include <string>

#include "support/tes3_builder.hpp"

namespace lw::demo {

namespace {

using test::Fields;
using test::Tes3Builder;

// A reference inside a cell: FRMR, NAME, optional scale, DATA placement.
void reference(Tes3Builder& b, std::uint32_t index, std::string_view object, float x, float y, float z,
               float rotZ = 0.0f, float scale = 0.0f)
{
    b.u32("FRMR", index);
    b.text("NAME", object);
    if (scale != 0.0f)
        b.f32("XSCL", scale);
    b.sub("DATA", Fields().f32(x).f32(y).f32(z).f32(0).f32(0).f32(rotZ));
}

// A door reference that leads somewhere: DODT placement there, DNAM the
// interior it leads into (none: the exterior).
void doorReference(Tes3Builder& b, std::uint32_t index, std::string_view door, float x, float y, float z,
                   float destX, float destY, float destZ, std::string_view destinationCell)
{
    b.u32("FRMR", index);
    b.text("NAME", door);
    b.sub("DODT", Fields().f32(destX).f32(destY).f32(destZ).f32(0).f32(0).f32(0));
    if (!destinationCell.empty())
        b.text("DNAM", destinationCell);
    b.sub("DATA", Fields().f32(x).f32(y).f32(z).f32(0).f32(0).f32(0));
}

// A path grid: points (cell-local x, y, z) and, per point, the points it
// connects to.
struct GridPoint {
    std::int32_t x, y, z;
    std::vector<std::uint32_t> links;
};

void pathGrid(Tes3Builder& b, std::string_view cellName, std::int32_t gridX, std::int32_t gridY,
              const std::vector<GridPoint>& points)
{
    b.record("PGRD");
    b.sub("DATA", Fields()
                      .i32(gridX)
                      .i32(gridY)
                      .u16(1024)
                      .i16(static_cast<std::int16_t>(points.size())));
    b.text("NAME", cellName);
    Fields pgrp, pgrc;
    for (const GridPoint& p : points) {
        pgrp.i32(p.x).i32(p.y).i32(p.z).u8(1).u8(static_cast<std::uint8_t>(p.links.size())).u16(0);
        for (std::uint32_t l : p.links)
            pgrc.u32(l);
    }
    b.sub("PGRP", pgrp);
    b.sub("PGRC", pgrc);
    b.end();
}

// Gentle hills: the height of a TES3 vertex in height units (8 world units).
int hillHeight(int cellX, int cellY, int row, int col)
{
    double wx = cellX * 64 + col;
    double wy = cellY * 64 + row;
    return static_cast<int>(std::lround(40.0 + 30.0 * std::sin(wx / 23.0) * std::cos(wy / 31.0)));
}

// The LAND record of exterior cell (x, y): heights, normals, colours and the
// 16 x 16 texture grid (TES3 block order), texture 1 + INTV.
void land(Tes3Builder& b, int cellX, int cellY)
{
    b.record("LAND");
    b.sub("INTV", Fields().i32(cellX).i32(cellY));
    b.u32("DATA", 0x0F);

    Fields normals, colours;
    for (int row = 0; row < 65; ++row) {
        for (int col = 0; col < 65; ++col) {
            double dx = hillHeight(cellX, cellY, row, col + 1) - hillHeight(cellX, cellY, row, col - 1);
            double dy = hillHeight(cellX, cellY, row + 1, col) - hillHeight(cellX, cellY, row - 1, col);
            double nx = -dx, ny = -dy, nz = 16.0;
            double len = std::sqrt(nx * nx + ny * ny + nz * nz);
            normals.i8(static_cast<std::int8_t>(std::lround(127.0 * nx / len)))
                .i8(static_cast<std::int8_t>(std::lround(127.0 * ny / len)))
                .i8(static_cast<std::int8_t>(std::lround(127.0 * nz / len)));
            auto shade = static_cast<std::uint8_t>(150 + (row + col) % 60);
            colours.u8(shade).u8(static_cast<std::uint8_t>(200 - (row % 40))).u8(static_cast<std::uint8_t>(140 + col % 50));
        }
    }
    b.sub("VNML", normals);

    // Heights as differences: first column down from the previous row, then
    // along the row.
    Fields heights;
    const float offset = static_cast<float>(hillHeight(cellX, cellY, 0, 0));
    heights.f32(offset);
    for (int row = 0; row < 65; ++row) {
        for (int col = 0; col < 65; ++col) {
            int here = hillHeight(cellX, cellY, row, col);
            int before = col == 0 ? (row == 0 ? here : hillHeight(cellX, cellY, row - 1, 0))
                                  : hillHeight(cellX, cellY, row, col - 1);
            heights.i8(static_cast<std::int8_t>(here - before));
        }
    }
    heights.zeros(3);
    b.sub("VHGT", heights);
    b.sub("WNAM", Fields().zeros(81));
    b.sub("VCLR", colours);

    // Texture grid in row order (row 0 south), then stored in 4x4 blocks.
    std::uint16_t rowOrder[256];
    for (int ty = 0; ty < 16; ++ty)
        for (int tx = 0; tx < 16; ++tx)
            rowOrder[ty * 16 + tx] = static_cast<std::uint16_t>(((tx + ty + cellX) % 5 == 0) ? 2 : 1);
    Fields vtex;
    for (int block = 0; block < 16; ++block)
        for (int inner = 0; inner < 16; ++inner) {
            int ty = (block / 4) * 4 + inner / 4;
            int tx = (block % 4) * 4 + inner % 4;
            vtex.u16(rowOrder[ty * 16 + tx]);
        }
    b.sub("VTEX", vtex);
    b.end();
}

Fields npcStatistics(std::uint16_t level, std::uint8_t longBlade, std::uint8_t block)
{
    Fields f;
    f.u16(level);
    for (int a : {60, 45, 50, 40, 55, 50, 45, 40}) // attributes
        f.u8(static_cast<std::uint8_t>(a));
    for (int skill = 0; skill < 27; ++skill) {
        std::uint8_t v = 15;
        if (skill == 5)
            v = longBlade;
        if (skill == 0)
            v = block;
        f.u8(v);
    }
    f.u8(0);           // pad to 38
    f.u16(120);        // health
    f.u16(80);         // spell points
    f.u16(150);        // fatigue
    f.u8(0).u8(0);     // disposition, reputation
    f.i8(2);           // rank
    f.u8(0);           // pad
    f.u32(250);        // gold
    return f;
}

void npc(Tes3Builder& b, std::string_view id, std::string_view name, std::string_view race,
         std::string_view cls, std::string_view head, std::uint32_t flags, const Fields& npdt,
         std::uint16_t wander, std::uint32_t services, std::string_view faction,
         std::initializer_list<std::pair<std::int32_t, std::string_view>> items)
{
    b.record("NPC_");
    b.text("NAME", id);
    b.text("FNAM", name);
    b.text("RNAM", race);
    if (!faction.empty())
        b.text("ANAM", faction);
    b.text("BNAM", head);
    b.text("CNAM", cls);
    b.sub("NPDT", npdt);
    b.u32("FLAG", flags);
    for (const auto& [count, item] : items)
        b.sub("NPCO", Fields().i32(count).fixed(item, 32));
    b.sub("AIDT", Fields().u8(30).u8(0).u8(40).u8(30).zeros(4).u32(services));
    if (wander != 0)
        b.sub("AI_W", Fields().u16(wander).u16(5).u8(0).zeros(9));
    b.end();
}

} // namespace

std::vector<std::uint8_t> buildDemoMaster()
{
    Tes3Builder b;
    b.record("TES3").sub("HEDR", test::hedrData("Lorewright", "The master file of the Lorewright demo.", 5, 1)).end();
    // The plugin defines its own demo_rock: this one is never taken.
    b.record("STAT").text("NAME", "demo_rock").text("MODL", "demo\\house.nif").end();
    b.record("STAT").text("NAME", "demo_boulder").text("MODL", "demo\\rock.nif").end();
    // Not used by the plugin: never taken either.
    b.record("STAT").text("NAME", "demo_ruin").text("MODL", "demo\\house.nif").end();
    b.record("MISC").text("NAME", "demo_coin_purse").text("MODL", "demo\\cup.nif").text("FNAM", "Coin Purse")
        .sub("MCDT", Fields().f32(0.5f).i32(7).i32(0)).text("ITEX", "demo\\cup.tga").end();
    // Placed by the plugin; brings the purse of its inventory along.
    npc(b, "demo_ferryman", "Old Ferryman", "Nord", "Smith", "b_n_nord_m_head_01", 0x10,
        npcStatistics(7, 30, 25), 500, 0, "", {{2, "demo_coin_purse"}});
    return b.bytes();
}

std::vector<std::uint8_t> buildDemoPlugin()
{
    Tes3Builder b;
    // The header names the master whose boulder and ferryman the world places.
    b.record("TES3").sub("HEDR", test::hedrData("Lorewright", "A small sample world made by the Lorewright demo."))
        .text("MAST", kDemoMasterName)
        .sub("DATA", Fields().u32(static_cast<std::uint32_t>(buildDemoMaster().size())).u32(0)).end();

    // Sounds (the region parse looks them up).
    b.record("SOUN").text("NAME", "Demo Bell").text("FNAM", "Fx\\demo\\bell.wav")
        .sub("DATA", Fields().u8(255).u8(0).u8(255)).end();
    b.record("SOUN").text("NAME", "Demo Wind").text("FNAM", "Fx\\demo\\wind.wav")
        .sub("DATA", Fields().u8(127).u8(0).u8(255)).end();
    b.record("SOUN").text("NAME", "Demo Silence").text("FNAM", "Fx\\demo\\missing.wav")
        .sub("DATA", Fields().u8(0).u8(0).u8(255)).end();

    // Regions, before the cells that name them.
    b.record("REGN").text("NAME", "Demo Hills").text("FNAM", "Demo Hills")
        .sub("WEAT", Fields().u8(50).u8(20).u8(10).u8(10).u8(10).u8(0).u8(0).u8(0))
        .u32("CNAM", 0x0030A050)
        .sub("SNAM", Fields().fixed("Demo Wind", 32).u8(40)).end();
    b.record("REGN").text("NAME", "Demo Coast").text("FNAM", "Demo Coast")
        .sub("WEAT", Fields().u8(20).u8(30).u8(20).u8(10).u8(20).u8(0).u8(0).u8(0))
        .u32("CNAM", 0x00C08020)
        .sub("SNAM", Fields().fixed("Demo Bell", 32).u8(10)).end();

    // Land textures: INTV 0 fills table slot 1, INTV 1 slot 2.
    b.record("LTEX").text("NAME", "Demo Grass").i32("INTV", 0).text("DATA", "demo_grass.tga").end();
    b.record("LTEX").text("NAME", "Demo Stone").i32("INTV", 1).text("DATA", "demo_stone.dds").end();

    // Activators: a lever and a bed that becomes furniture.
    b.record("ACTI").text("NAME", "demo_lever").text("MODL", "demo\\lever.nif").text("FNAM", "Lever").end();
    b.record("ACTI").text("NAME", "active_de_bed_demo").text("MODL", "demo\\bed.nif").text("FNAM", "Bed").end();

    // Armour: two pieces from the replacement table, one not in it.
    b.record("ARMO").text("NAME", "dreugh_helm").text("MODL", "a\\dreugh_helm.nif").text("FNAM", "Dreugh Helm")
        .sub("AODT", Fields().i32(0).f32(6.0f).i32(120).i32(300).i32(10).i32(18))
        .text("ITEX", "a\\dreugh_helm.tga").end();
    b.record("ARMO").text("NAME", "bonemold_boots").text("MODL", "a\\bonemold_boots.nif").text("FNAM", "Bonemold Boots")
        .sub("AODT", Fields().i32(5).f32(12.0f).i32(90).i32(200).i32(10).i32(14))
        .text("ITEX", "a\\bonemold_boots.tga").end();
    b.record("ARMO").text("NAME", "demo_leather_cap").text("MODL", "a\\cap.nif").text("FNAM", "Cap")
        .sub("AODT", Fields().i32(0).f32(1.0f).i32(5).i32(50).i32(5).i32(2)).end();

    // Books: a FONT tag followed by a DIV tag, as the game's own books do.
    b.record("BOOK").text("NAME", "demo_journal").text("MODL", "demo\\book.nif").text("FNAM", "Demo Journal")
        .sub("BKDT", Fields().f32(1.0f).i32(25).u32(0).i32(8).i32(0))
        .text("ITEX", "demo\\book.tga")
        .text("TEXT", "<FONT COLOR=\"000000\" SIZE=\"3\" FACE=\"Magic Cards\"><DIV ALIGN=\"LEFT\">"
                      "This journal was written by the Lorewright demo.<BR>Every line of it is converted.<BR>")
        .end();
    b.record("BOOK").text("NAME", "demo_scroll").text("MODL", "demo\\scroll.nif").text("FNAM", "Demo Scroll")
        .sub("BKDT", Fields().f32(0.2f).i32(60).u32(1).i32(-1).i32(0))
        .text("ITEX", "demo\\scroll.tga").text("TEXT", "<font face=\"Daedric\">A scroll keeps its lower-case tags.").end();

    // Containers: a chest (with a book and a weapon, both found)
    // and a plant (organic, one item: becomes flora).
    b.record("CONT").text("NAME", "demo_chest").text("MODL", "demo\\chest.nif").text("FNAM", "Chest")
        .f32("CNDT", 150.0f).u32("FLAG", 0x08)
        .sub("NPCO", Fields().i32(1).fixed("demo_journal", 32))
        .sub("NPCO", Fields().i32(1).fixed("demo_sword", 32)).end();
    b.record("CONT").text("NAME", "demo_fern").text("MODL", "demo\\fern.nif").text("FNAM", "Fern")
        .f32("CNDT", 0.0f).u32("FLAG", 0x01)
        .sub("NPCO", Fields().i32(1).fixed("ingred_demo_leaf", 32)).end();

    // Doors: one that leads between the house and the fields, and a marker.
    b.record("DOOR").text("NAME", "demo_door").text("MODL", "demo\\door.nif").text("FNAM", "House Door").end();
    b.record("DOOR").text("NAME", "PrisonMarker").text("MODL", "marker_prison.nif").end();

    // Lights: a lantern that can be carried, a glow without a model.
    b.record("LIGH").text("NAME", "demo_lantern").text("MODL", "demo\\lantern.nif").text("FNAM", "Lantern")
        .text("ITEX", "demo\\lantern.tga")
        .sub("LHDT", Fields().f32(2.0f).i32(15).i32(-1).u32(256).u8(255).u8(200).u8(120).u8(0).u32(0x02)).end();
    b.record("LIGH").text("NAME", "demo_glow")
        .sub("LHDT", Fields().f32(0.0f).i32(0).i32(-1).u32(128).u8(120).u8(160).u8(255).u8(0).u32(0x00)).end();

    // Misc items.
    b.record("MISC").text("NAME", "demo_cup").text("MODL", "demo\\cup.nif").text("FNAM", "Cup")
        .sub("MCDT", Fields().f32(1.0f).i32(3).i32(0)).text("ITEX", "demo\\cup.tga").end();

    // Statics: rocks, a house, a furniture bench and a marker.
    b.record("STAT").text("NAME", "demo_rock").text("MODL", "demo\\rock.nif").end();
    b.record("STAT").text("NAME", "demo_house").text("MODL", "demo\\house.nif").end();
    b.record("STAT").text("NAME", "furn_demo_bench").text("MODL", "demo\\bench.nif").end();
    b.record("STAT").text("NAME", "DoorMarker").text("MODL", "marker_door.nif").end();

    // Weapons.
    b.record("WEAP").text("NAME", "demo_sword").text("MODL", "demo\\sword.nif").text("FNAM", "Demo Sword")
        .sub("WPDT", Fields().f32(10.0f).i32(80).i16(1).i16(600).f32(1.5f).f32(1.25f).i16(0)
                         .u8(4).u8(12).u8(5).u8(14).u8(3).u8(10).u32(0))
        .text("ITEX", "demo\\sword.tga").end();

    // NPCs of several races, with inventories.
    npc(b, "demo_guard", "Hrolf the Guard", "Nord", "Smith", "b_n_nord_m_head_01", 0x10,
        npcStatistics(12, 55, 40), 1200, 0, "Fighters Guild",
        {{1, "demo_sword"}, {1, "dreugh_helm"}, {2, "demo_cup"}});
    npc(b, "demo_mage", "Elise Varn", "Breton", "Mage Service", "b_n_breton_f_head_01", 0x01,
        Fields().u16(8).u8(0).u8(0).u8(0).u8(0).u16(35).u8(0).u8(0).u8(0).u8(0), 300, 0x0000400,
        "Mages Guild", {{1, "demo_journal"}, {1, "demo_scroll"}});
    npc(b, "demo_trader", "Ri'Darsha", "Khajiit", "Trader Service", "b_n_khajiit_f_head_01", 0x01,
        npcStatistics(5, 20, 10), 0, 0x00000FFF, "", {{3, "demo_lantern"}, {1, "demo_unknown_item"}});

    // Creatures: one mapped by creatures.ini, one left out.
    b.record("CREA").text("NAME", "demo_mudcrab").text("MODL", "r\\mudcrab.nif").text("FNAM", "Mudcrab").end();
    b.record("CREA").text("NAME", "demo_shade").text("MODL", "r\\shade.nif").text("FNAM", "Shade").end();

    // A leveled list naming both creatures.
    b.record("LEVC").text("NAME", "demo_lev_shore").u32("DATA", 1).u8("NNAM", 10).i32("INDX", 2)
        .text("CNAM", "demo_mudcrab").sub("INTV", Fields().u16(1))
        .text("CNAM", "demo_shade").sub("INTV", Fields().u16(4)).end();

    // An interior with references, a door back out and a path grid.
    b.record("CELL");
    b.text("NAME", "Demo House");
    b.sub("DATA", Fields().u32(0x01).i32(0).i32(0));
    b.sub("AMBI", Fields().u32(0x00404040).u32(0x00A0A0A0).u32(0x00202020).f32(0.5f));
    reference(b, 1, "demo_rock", 0.0f, 0.0f, 0.0f);
    reference(b, 2, "furn_demo_bench", 200.0f, 64.0f, 0.0f, 1.5708f);
    reference(b, 3, "demo_lantern", 50.0f, 50.0f, 90.0f);
    reference(b, 4, "demo_chest", -150.0f, 100.0f, 0.0f);
    reference(b, 5, "demo_mage", 0.0f, 150.0f, 0.0f);
    reference(b, 6, "demo_lev_shore", 300.0f, 300.0f, 0.0f);
    doorReference(b, 7, "demo_door", -256.0f, 0.0f, 0.0f, 2048.0f, 1900.0f, 40.0f * 8.0f, "");
    b.end();
    pathGrid(b, "Demo House", 0, 0,
             {{0, 0, 0, {1, 2}}, {200, 0, 0, {0, 2}}, {100, 150, 0, {0, 1}}, {-100, -100, 0, {}}});

    // A second interior reached from the first one's world.
    b.record("CELL");
    b.text("NAME", "Demo Cellar");
    b.sub("DATA", Fields().u32(0x03).i32(0).i32(0));
    b.f32("WHGT", -64.0f);
    reference(b, 1, "demo_cup", 10.0f, 10.0f, 0.0f);
    reference(b, 2, "demo_glow", 0.0f, 0.0f, 128.0f);
    b.end();

    // The exterior: four cells around the origin, each followed by its LAND,
    // with references (one of them standing in the neighbouring cell).
    struct Ext {
        int x, y;
        std::string_view region;
    };
    const Ext cells[] = {{0, 0, "Demo Hills"}, {1, 0, "Demo Hills"}, {0, 1, "Demo Coast"}, {1, 1, "Demo Coast"}};
    std::uint32_t refIndex = 100;
    for (const Ext& e : cells) {
        const float baseX = static_cast<float>(e.x * 8192);
        const float baseY = static_cast<float>(e.y * 8192);
        b.record("CELL");
        b.text("NAME", e.x == 0 && e.y == 0 ? "Demo Fields" : "");
        b.sub("DATA", Fields().u32(0x02).i32(e.x).i32(e.y));
        b.text("RGNN", e.region);
        reference(b, refIndex++, "demo_rock", baseX + 1000.0f, baseY + 1200.0f, 300.0f, 0.3f, 1.5f);
        reference(b, refIndex++, "demo_rock", baseX + 5000.0f, baseY + 6000.0f, 320.0f, 1.1f);
        reference(b, refIndex++, "demo_fern", baseX + 3000.0f, baseY + 2500.0f, 310.0f);
        reference(b, refIndex++, "demo_lever", baseX + 6100.0f, baseY + 1500.0f, 300.0f);
        if (e.x == 0 && e.y == 0) {
            reference(b, refIndex++, "demo_house", 2048.0f, 2600.0f, 320.0f);
            doorReference(b, refIndex++, "demo_door", 2048.0f, 2000.0f, 320.0f, -200.0f, 0.0f, 0.0f,
                          "Demo House");
            reference(b, refIndex++, "demo_guard", 2500.0f, 1800.0f, 320.0f);
            reference(b, refIndex++, "active_de_bed_demo", 2300.0f, 2900.0f, 320.0f);
            // Listed in this cell but standing in the cell to the east.
            reference(b, refIndex++, "demo_rock", 8192.0f + 400.0f, 700.0f, 300.0f);
        }
        if (e.x == 1 && e.y == 0)
            reference(b, refIndex++, "demo_boulder", baseX + 2000.0f, baseY + 5000.0f, 310.0f, 0.7f);
        if (e.x == 0 && e.y == 1)
            reference(b, refIndex++, "demo_ferryman", baseX + 1500.0f, baseY + 3000.0f, 300.0f);
        if (e.x == 1 && e.y == 1) {
            reference(b, refIndex++, "demo_trader", baseX + 4000.0f, baseY + 4000.0f, 300.0f);
            reference(b, refIndex++, "demo_mudcrab", baseX + 4500.0f, baseY + 3900.0f, 300.0f);
        }
        b.end();
        land(b, e.x, e.y);
        pathGrid(b, "", e.x, e.y,
                 {{1000, 1000, 300, {1, 2}},
                  {3000, 1000, 300, {0, 3}},
                  {1000, 3000, 300, {0}},
                  {6000, 1200, 300, {1, 4}},
                  {6000, 6000, 300, {3}}});
    }

    return b.bytes();
}

} // namespace lw::demo
