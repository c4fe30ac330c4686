// Pairing teleport doors and rewriting their XTEL placeholders in place.

#include <random>

#include "world_fixture.hpp"

namespace lw::test {
namespace {

constexpr std::uint32_t kDoor = 0x01001002;

// A door reference with a destination (DNAM only when `to` is not empty).
void door(Tes3Builder& b, std::uint32_t index, float x, float y, std::string_view to, float arrive)
{
    reference(b, index, "door", x, y);
    b.sub("DODT", placement(arrive, arrive + 1, arrive + 2, 0.5f, 0.25f, 0.125f));
    if (!to.empty())
        b.text("DNAM", to);
}

std::vector<std::uint8_t> xtel(std::uint32_t partner, float arrive)
{
    Fields f;
    f.u32(partner);
    f.bytes(placement(arrive, arrive + 1, arrive + 2, 0.5f, 0.25f, 0.125f).data());
    return f.data();
}

struct Doors {
    std::vector<const Tes4Record*> interior; // persistent refs of every interior, in order
    std::vector<const Tes4Record*> exterior; // persistent refs of the world cell
};

Doors doorsOf(const Tes4File& f)
{
    Doors d;
    for (const Tes4Group* block : f.topGroup("CELL")->groups()) {
        auto refs = block->groups()[0]->groups()[0]->groups()[0]->records();
        d.interior.insert(d.interior.end(), refs.begin(), refs.end());
    }
    d.exterior = f.topGroup("WRLD")->groups()[0]->groups()[0]->groups()[0]->records();
    return d;
}

TEST(TeleportDoors, PairsInteriorsWithTheExteriorAndExteriorsWithEachOther)
{
    World w;
    w.add(w.c.tables.doors, "door", kDoor);
    Tes3Builder b;
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).text("NAME", "Vivec, Shop");
    door(b, 1, 0, 0, "", 10);          // to the exterior
    door(b, 2, 0, 0, "vivec, shop", 20); // to itself, other letter case: nobody
    b.end();
    b.record("CELL").sub("DATA", cellData(0, 0, 0));
    door(b, 3, 10, 10, "Elsewhere", 30); // nobody leads from there
    door(b, 4, 20, 20, "Vivec, Shop", 40); // partner of door 1
    door(b, 5, 30, 30, "", 50);          // exterior to exterior ...
    door(b, 6, 40, 40, "", 60);          // ... pairs with this one
    door(b, 7, 50, 50, "", 70);          // a third fits too, but comes late
    b.end();
    w.load(b);
    modshift::parseCells(w.c);
    modshift::saveInteriorCells(w.c);
    modshift::saveWorldspace(w.c);
    const std::vector<std::uint8_t> before = w.c.out.bytes();
    modshift::connectTeleportDoors(w.c);
    const std::vector<std::uint8_t>& after = w.c.out.bytes();
    ASSERT_EQ(after.size(), before.size());
    Tes4File f = readTes4Body(after);
    ASSERT_TRUE(f.ok()) << f.error;

    Doors d = doorsOf(f);
    ASSERT_EQ(d.interior.size(), 2u);
    ASSERT_EQ(d.exterior.size(), 5u);
    const auto& in1 = *d.interior[0];
    const auto& in2 = *d.interior[1];
    EXPECT_EQ(in1.field("XTEL")->data, xtel(d.exterior[1]->formId, 10));
    EXPECT_EQ(d.exterior[1]->field("XTEL")->data, xtel(in1.formId, 40));
    EXPECT_EQ(in2.field("XTEL")->data, std::vector<std::uint8_t>(28, 0));
    EXPECT_EQ(d.exterior[0]->field("XTEL")->data, std::vector<std::uint8_t>(28, 0));
    EXPECT_EQ(d.exterior[2]->field("XTEL")->data, xtel(d.exterior[3]->formId, 50));
    EXPECT_EQ(d.exterior[3]->field("XTEL")->data, xtel(d.exterior[2]->formId, 60));
    EXPECT_EQ(d.exterior[4]->field("XTEL")->data, std::vector<std::uint8_t>(28, 0));

    // Only XTEL data changed.
    std::size_t changed = 0;
    for (std::size_t i = 0; i < after.size(); ++i)
        changed += after[i] != before[i];
    EXPECT_GT(changed, 0u);
    std::vector<std::uint8_t> masked = after;
    for (const Tes4Record* r : f.allRecords()) {
        if (const Tes4Subrecord* x = r->field("XTEL"))
            std::fill_n(masked.begin() + static_cast<std::ptrdiff_t>(x->offset + 6), 28, 0);
    }
    EXPECT_EQ(masked, before);
    EXPECT_EQ(w.c.teleportDoors, 7);
    EXPECT_NE(w.text().find("Connecting teleport doors\n"), std::string::npos);
}

TEST(TeleportDoors, TableFullLeavesLaterDoorsWholeButUnpaired)
{
    World w;
    w.add(w.c.tables.doors, "door", kDoor);
    Tes3Builder b;
    // Two interiors, so that no reference list overflows.
    for (int cell = 0; cell < 2; ++cell) {
        b.record("CELL").sub("DATA", cellData(1, 0, 0)).text("NAME", cell == 0 ? "A" : "B");
        for (int i = 0; i < 5001; ++i)
            door(b, static_cast<std::uint32_t>(i), 0, 0, cell == 0 ? "B" : "A", static_cast<float>(i));
        b.end();
    }
    w.load(b);
    Tes4File f = w.run();
    ASSERT_TRUE(f.ok()) << f.error;
    EXPECT_EQ(countOf(w.text(), "Too many teleport doors!\nPress enter...\n"), 2u);
    EXPECT_EQ(w.c.teleportDoors, 10000);
    Doors d = doorsOf(f);
    ASSERT_EQ(d.interior.size(), 10002u);
    // The first 5001 doors of A pair with the first 5001 of B; B's last two
    // never entered the table.
    EXPECT_EQ(d.interior[0]->field("XTEL")->u32(), d.interior[5001]->formId);
    EXPECT_EQ(d.interior[4998]->field("XTEL")->u32(), d.interior[9999]->formId);
    EXPECT_EQ(d.interior[5000]->field("XTEL")->u32(), 0u);
    EXPECT_EQ(d.interior[10000]->layout(), "NAME XTEL DATA");
    EXPECT_EQ(d.interior[10000]->dataSize, 74u);
    EXPECT_EQ(d.interior[10000]->field("XTEL")->data, std::vector<std::uint8_t>(28, 0));
    EXPECT_EQ(d.interior[10001]->field("XTEL")->data, std::vector<std::uint8_t>(28, 0));
}

} // namespace
} // namespace lw::test
