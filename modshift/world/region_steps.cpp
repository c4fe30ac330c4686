// Regions.
//
// TES3 REGN subrecords read:
//   NAME  identifier             FNAM  display name
//   WEAT  8 chance bytes: clear, cloudy, foggy, overcast, rain, thunder, ash, blight
//   CNAM  map colour:u32         SNAM  sound identifier[32] (zero-terminated), chance:i8
//
// TES4 REGN written (header's last word 0x3716):
//   EDID  RCLR colour  WNAM worldspace (filled in by the worldspace writer)
//   RPLI 1024  RPLD n x (x:f32 y:f32), the outline's TES4 cell centres
//   [RDAT 7 0x3200  RDMD 0  RDSD s x (sound, 15, chance x 25000)]
//   [RDAT 3 0x3200  RDWT w x (weather, chance)]
//   [RDAT 4 0x3200  RDMP display name]

#include <algorithm>
#include <array>
#include <string>

#include "common/io/byte_cursor.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/driver/save_steps.hpp"
#include "modshift/tes3/identifiers.hpp"
#include "modshift/world/region.hpp"

namespace lw::modshift {

namespace {

constexpr int kMinCell = -128;
constexpr int kMaxCell = 127;
constexpr std::uint32_t kRegionHeaderWord = 0x3716;
constexpr std::uint32_t kDataPriority = 0x3200;
constexpr std::size_t kSoundNameBytes = 32;
// The target sweeps the border once per lap (4 x 255 steps); an outline
// closes within the first lap and a half. Beyond four laps it never will.
constexpr int kMaxSweepSteps = 4 * 4 * 255;

constexpr std::array<std::uint32_t, 8> kWeatherForms = {0x38EEE, 0x38EF0, 0x38EEF, 0x38EEC,
                                                        0x38EF2, 0x38EF1, 0x671A1, 0x67199};

bool inRange(int x, int y) { return x >= kMinCell && x <= kMaxCell && y >= kMinCell && y <= kMaxCell; }

void readRegion(Conversion& c, std::int32_t record, Region& r)
{
    for (std::int32_t child : c.tree.children(record)) {
        const Tag tag = c.tree.node(child).tag;
        if (tag == makeTag("NAME")) {
            r.editorId = makeEditorId(c.tree, child);
            r.hasName = true;
        } else if (tag == makeTag("FNAM")) {
            r.displayName = c.tree.text(child);
            r.hasDisplayName = true;
        } else if (tag == makeTag("WEAT")) {
            ByteCursor in(c.tree.data(child));
            for (std::uint8_t& chance : r.weather)
                chance = in.u8(); // a short WEAT leaves the missing chances at 0
            if (in.failed())
                c.console.print("damaged WEAT in region %s!\n", std::string(r.editorId).c_str());
        } else if (tag == makeTag("CNAM")) {
            ByteCursor in(c.tree.data(child));
            r.mapColour = in.u32();
            if (in.failed())
                c.console.print("damaged CNAM in region %s!\n", std::string(r.editorId).c_str());
        } else if (tag == makeTag("SNAM")) {
            ByteCursor in(c.tree.data(child));
            std::string_view name = in.chars(kSoundNameBytes);
            const auto chance = in.i8();
            if (in.failed()) {
                c.console.print("damaged SNAM in region %s!\n", std::string(r.editorId).c_str());
                continue;
            }
            name = name.substr(0, name.find('\0'));
            const std::uint32_t sound = c.tables.sounds.find(convertIdentifier(name));
            if (sound != 0 && r.sounds.size() < RegionState::kSoundCapacity)
                r.sounds.push_back({sound, chance});
        }
    }
}

struct Octant {
    int number;
    bool mainIsY;
    int mainStep;
    int minorStep;
    int error;
    int errorWhenMoved;
    int errorOtherwise;
    int sideX;
    int sideY;
};

Octant octantFor(int dx, int dy)
{
    int octant;
    if (dx >= 0 && dy >= 0)
        octant = dx <= dy ? 0 : 1;
    else if (dx >= 0 && dy <= 0)
        octant = -dy <= dx ? 2 : 3;
    else if (dx <= 0 && dy <= 0)
        octant = -dx <= -dy ? 4 : 5;
    else
        octant = dy <= -dx ? 6 : 7;
    switch (octant) {
    case 0: return {0, true, +1, +1, 2 * dx - dy, 2 * dx - 2 * dy, 2 * dx, -1, 0};
    case 1: return {1, false, +1, +1, 2 * dy - dx, 2 * dy - 2 * dx, 2 * dy, 0, +1};
    case 2: return {2, false, +1, -1, -2 * dy - dx, -2 * dy - 2 * dx, -2 * dy, 0, +1};
    case 3: return {3, true, -1, +1, 2 * dx + dy, 2 * dx + 2 * dy, 2 * dx, +1, 0};
    case 4: return {4, true, -1, -1, -2 * dx + dy, -2 * dx + 2 * dy, -2 * dx, +1, 0};
    case 5: return {5, false, -1, -1, -2 * dy + dx, -2 * dy + 2 * dx, -2 * dy, 0, -1};
    case 6: return {6, false, -1, +1, 2 * dy + dx, 2 * dy + 2 * dx, 2 * dy, 0, -1};
    default: return {7, true, +1, -1, -2 * dx - dy, -2 * dx - 2 * dy, -2 * dx, -1, 0};
    }
}

// One step of the sweep target clockwise along the border of the grid.
void advanceTarget(CellPoint& t)
{
    if (t.y == kMaxCell && t.x < kMaxCell)
        ++t.x;
    else if (t.x == kMaxCell && t.y > kMinCell)
        --t.y;
    else if (t.y == kMinCell && t.x > kMinCell)
        --t.x;
    else if (t.x == kMinCell && t.y < kMaxCell)
        ++t.y;
}

void writeRegion(Conversion& c, Region& r, const std::vector<CellPoint>& outline)
{
    r.formId = c.out.nextFormId();
    SubrecordBuffer sub;
    sub.text(makeTag("EDID"), r.editorId);
    sub.u32(makeTag("RCLR"), r.mapColour);
    sub.u32(makeTag("WNAM"), 0);
    const std::size_t wnamOffset = sub.size() - 4;
    sub.u32(makeTag("RPLI"), 1024);

    c.console.print("\n");
    {
        ByteWriter& w = sub.begin(makeTag("RPLD"));
        for (std::size_t i = 0; i < outline.size(); ++i) {
            const float x = static_cast<float>(outline[i].x * 4096 + 2048);
            const float y = static_cast<float>(outline[i].y * 4096 + 2048);
            c.console.print("%i : (%i,%i)/(%f,%f)\n", static_cast<int>(i), outline[i].x, outline[i].y,
                            static_cast<double>(x), static_cast<double>(y));
            w.f32(x);
            w.f32(y);
        }
        sub.finish();
    }

    if (!r.sounds.empty()) {
        ByteWriter& d = sub.begin(makeTag("RDAT"));
        d.u32(7);
        d.u32(kDataPriority);
        sub.finish();
        sub.u32(makeTag("RDMD"), 0);
        ByteWriter& w = sub.begin(makeTag("RDSD"));
        for (const RegionSound& s : r.sounds) {
            // A chance negative as a signed byte was above 127: above 100.
            const int chance = s.chance < 0 ? 100 : std::min<int>(s.chance, 100);
            w.u32(s.formId);
            w.u32(15);
            w.u32(static_cast<std::uint32_t>(chance) * 25000);
        }
        sub.finish();
    }

    if (std::any_of(r.weather.begin(), r.weather.end(), [](std::uint8_t v) { return v != 0; })) {
        ByteWriter& d = sub.begin(makeTag("RDAT"));
        d.u32(3);
        d.u32(kDataPriority);
        sub.finish();
        ByteWriter& w = sub.begin(makeTag("RDWT"));
        for (std::size_t i = 0; i < r.weather.size(); ++i) {
            if (r.weather[i] == 0)
                continue;
            w.u32(kWeatherForms[i]);
            w.u32(r.weather[i]);
        }
        sub.finish();
    }

    if (r.hasDisplayName) {
        c.console.print("=> %.*s\n", static_cast<int>(r.displayName.size()), r.displayName.data());
        ByteWriter& d = sub.begin(makeTag("RDAT"));
        d.u32(4);
        d.u32(kDataPriority);
        sub.finish();
        sub.text(makeTag("RDMP"), r.displayName);
    }

    const std::size_t header = c.out.writeRecord(makeTag("REGN"), 0, r.formId, sub, kRegionHeaderWord);
    r.wnamPosition = header + 20 + wnamOffset;
}

void keepUntilFirstRepeat(std::vector<CellPoint>& points)
{
    for (std::size_t j = 2; j < points.size(); ++j) {
        if (std::find(points.begin() + 1, points.begin() + static_cast<std::ptrdiff_t>(j), points[j]) !=
            points.begin() + static_cast<std::ptrdiff_t>(j)) {
            points.resize(j);
            return;
        }
    }
}

} // namespace

std::vector<CellPoint> traceOutline(Conversion& c, const std::function<bool(int, int)>& inside,
                                    std::size_t capacity)
{
    std::vector<CellPoint> points;
    for (int x = kMinCell; x <= kMaxCell && points.empty(); ++x)
        for (int y = kMinCell; y <= kMaxCell; ++y)
            if (inside(x, y)) {
                points.push_back({x, y});
                break;
            }
    if (points.empty())
        return points;

    CellPoint current = points[0];
    CellPoint candidate = current; // the point the next commit adds
    CellPoint target{current.x, kMaxCell};
    for (int step = 0;; ++step) {
        if (step > kMaxSweepSteps) {
            // Some outlines never meet the closing test: the sweep keeps going
            // round the same points (a start column whose only cell the sweep
            // does not come back to). The outline is then the path up to the
            // first point that the sweep commits a second time.
            keepUntilFirstRepeat(points);
            break;
        }
        const Octant o = octantFor(target.x - current.x, target.y - current.y);
        int x = current.x;
        int y = current.y;
        int e = o.error;
        CellPoint lastInside = current;
        bool committed = false;
        int& main = o.mainIsY ? y : x;
        int& minor = o.mainIsY ? x : y;
        const int mainTarget = o.mainIsY ? target.y : target.x;
        while (main != mainTarget) {
            main += o.mainStep;
            if (e > 0) {
                minor += o.minorStep;
                e += o.errorWhenMoved;
            } else {
                e += o.errorOtherwise;
            }
            if (inside(x, y))
                lastInside = {x, y};
            const int sx = x + o.sideX;
            const int sy = y + o.sideY;
            if (inRange(sx, sy) && inside(sx, sy)) {
                points.push_back(candidate);
                current = candidate;
                committed = true;
                break;
            }
        }
        if (committed && o.number != 0 && points.back().x <= points[0].x)
            break;
        candidate = lastInside;
        advanceTarget(target);
    }

    // The sweep ends on a point of the start column, normally the start
    // point itself: drop the closing repeat.
    std::size_t n = points.size();
    for (std::size_t i = 0; i < n; ++i) {
        c.console.print("%i: (%i,%i)\n", static_cast<int>(i), points[i].x, points[i].y);
        if (i < n - 1 && points[i] == points[n - 1])
            --n;
    }
    points.resize(std::min(n, capacity));
    return points;
}

void fillRegionWorldspace(Conversion& c, std::uint32_t worldspaceFormId)
{
    for (const Region& r : c.world.regions.regions) {
        if (r.wnamPosition > 0 && r.wnamPosition + 4 <= c.out.position())
            c.out.patchU32(r.wnamPosition, worldspaceFormId);
    }
}

int parseRegions(Conversion& c)
{
    RegionState& state = c.world.regions;
    state.regions.clear();
    c.console.print("\nParsing world regions\n");
    const std::vector<std::int32_t>& records = c.tree.find(makeTag("REGN"));
    if (records.size() > RegionState::kCapacity) {
        // Nothing of any region is read: the table stays empty.
        c.console.print("too many regions!\n");
        c.log.capacity("too many regions!");
        return -1;
    }
    c.console.print("found %i regions\n", static_cast<int>(records.size()));
    if (records.empty())
        return 0;
    state.regions.resize(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        c.console.print(".");
        readRegion(c, records[i], state.regions[i]);
    }
    c.console.print("\n");
    return 0;
}

int saveRegions(Conversion& c)
{
    RegionState& state = c.world.regions;
    c.console.print("Saving world regions\n");
    for (Region& r : state.regions) {
        r.wnamPosition = 0;
        r.formId = 0;
    }
    c.out.beginGroup(makeTag("REGN"), 0);
    for (std::size_t i = 0; i < state.regions.size(); ++i) {
        c.console.print(".");
        const auto index = static_cast<std::int32_t>(i);
        auto inside = [&c, index](int x, int y) {
            // TES4 cell (x, y) lies in TES3 cell (floor(x / 2), floor(y / 2)).
            const ExteriorCell* cell = c.world.exterior.find(x >> 1, y >> 1);
            return cell != nullptr && cell->region == index;
        };
        std::vector<CellPoint> outline = traceOutline(c, inside, RegionState::kOutlineCapacity);
        if (outline.size() >= 3)
            writeRegion(c, state.regions[i], outline);
    }
    c.console.print("\n");
    c.out.endGroup();
    return 0;
}

} // namespace lw::modshift
