// The indexed walk over the out-of-cell references must write exactly what
// the plain walk writes (every out-of-cell reference offered to every written
// cell) and print exactly the same text, on worlds built at random, on a
// world whose reference lists overflow, and on the edge of the grid.

#include <random>

#include "world_fixture.hpp"

namespace lw::test {
namespace {

struct Outcome {
    std::vector<std::uint8_t> bytes;
    std::string text;
    int waits = 0;
    std::size_t outOfCell = 0;
};

void tables(World& w)
{
    w.add(w.c.tables.statics, "rock", 0x01001000);
    w.add(w.c.tables.doors, "door", 0x01001001);
    w.add(w.c.tables.npcs, "guard", 0x01001002);
    w.add(w.c.tables.lights, "lamp", 0x01001003);
}

Outcome convert(const std::vector<std::uint8_t>& plugin, bool plain)
{
    World w;
    tables(w);
    w.c.world.walkAllOutOfCell = plain;
    w.c.plugin = plugin;
    EXPECT_EQ(modshift::parseRecordTree(w.c.plugin, w.c.tree, w.console), 0);
    Tes4File f = w.run();
    EXPECT_TRUE(f.ok()) << f.error;
    return {w.c.out.bytes(), w.text(), w.console.waits(), w.c.world.outOfCell.size()};
}

Outcome expectSame(const std::vector<std::uint8_t>& plugin, const std::string& what)
{
    Outcome plain = convert(plugin, true);
    Outcome indexed = convert(plugin, false);
    EXPECT_EQ(indexed.bytes, plain.bytes) << what;
    EXPECT_EQ(indexed.text, plain.text) << what;
    EXPECT_EQ(indexed.waits, plain.waits) << what;
    return plain;
}

float coordinate(std::mt19937& rng, int cell)
{
    switch (rng() % 8) {
    case 0: // somewhere a few cells away
        return static_cast<float>((cell + static_cast<int>(rng() % 7) - 3) * 8192) +
               static_cast<float>(rng() % 8192);
    case 1: // on a cell or quadrant border, where rounding decides
        return static_cast<float>(cell * 8192 + static_cast<int>(rng() % 3) * 4096) +
               (rng() % 2 ? -0.5f : 0.4f);
    default:
        return static_cast<float>(cell * 8192) + static_cast<float>(rng() % 8192);
    }
}

TEST(OutOfCellIndex, RandomWorldsWriteTheSameAsThePlainWalk)
{
    const char* names[] = {"rock", "rock", "rock", "door", "guard", "lamp", "unknown"};
    std::mt19937 rng(20261206);
    std::size_t outOfCell = 0;
    std::size_t badCoordinates = 0;
    for (int round = 0; round < 25; ++round) {
        Tes3Builder b;
        const int cells = 1 + static_cast<int>(rng() % 12);
        std::uint32_t index = 0;
        for (int k = 0; k < cells; ++k) {
            // Mostly near the middle, some at the edge of what is written.
            const int span = rng() % 4 == 0 ? 70 : 6;
            const int x = static_cast<int>(rng() % span) - span / 2;
            const int y = static_cast<int>(rng() % span) - span / 2;
            b.record("CELL").sub("DATA", cellData(rng() % 2 ? 2 : 0, x, y));
            const int refs = static_cast<int>(rng() % 20);
            for (int r = 0; r < refs; ++r) {
                const char* name = names[rng() % std::size(names)];
                b.u32("FRMR", ++index).text("NAME", name);
                if (rng() % 15 != 0)
                    b.sub("DATA", placement(coordinate(rng, x), coordinate(rng, y)));
                if (std::string_view(name) == "door" && rng() % 2)
                    b.sub("DODT", placement(1, 2, 3));
                if (rng() % 3 == 0)
                    b.sub("XSCL", Fields().f32(static_cast<float>(rng() % 3)));
            }
            b.end();
            if (rng() % 5 != 0)
                flatLand(b, false);
        }
        Outcome o = expectSame(b.bytes(), "round " + std::to_string(round));
        outOfCell += o.outOfCell;
        badCoordinates += countOf(o.text, "bad coord pointer!");
    }
    // The worlds did exercise both kinds of out-of-cell entries.
    EXPECT_GT(outOfCell, 50u);
    EXPECT_GT(badCoordinates, 10u);
}

TEST(OutOfCellIndex, FullReferenceListsReportTheSameWay)
{
    Tes3Builder b;
    // Out-of-cell references for (0, 0) from cells written before and after it.
    b.record("CELL").sub("DATA", cellData(0, 1, 0));
    reference(b, 1, "rock", 100, 100);            // stands in (0, 0)
    b.u32("FRMR", 2).text("NAME", "rock");        // no DATA
    reference(b, 3, "unknown", 100, 100);
    reference(b, 4, "rock", 2 * 8192 + 5, 5);     // stands in (2, 0)
    b.end();
    flatLand(b, false);
    // (0, 0) fills its south-west list with its own references.
    b.record("CELL").sub("DATA", cellData(0, 0, 0));
    for (std::uint32_t i = 0; i < 10000; ++i)
        reference(b, 10 + i, "rock", 10, 10);
    b.end();
    flatLand(b, false);
    b.record("CELL").sub("DATA", cellData(0, -1, 0));
    reference(b, 20000, "rock", 200, 200);        // stands in (0, 0)
    reference(b, 20001, "rock", -100, 100);
    b.end();
    flatLand(b, false);
    b.record("CELL").sub("DATA", cellData(0, 2, 0)).end();
    flatLand(b, false);
    const std::vector<std::uint8_t> plugin = b.bytes();
    expectSame(plugin, "full lists");

    Outcome o = convert(plugin, false);
    // In (0, 0), after its own 10000: the three out-of-cell references that
    // resolve and have DATA find the lists full; the one without DATA says so.
    EXPECT_EQ(countOf(o.text, "too many refs!\n"), 3u);
}

} // namespace
} // namespace lw::test
