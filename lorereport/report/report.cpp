#include "lorereport/report/report.hpp"

#include <cstdio>
#include <set>
#include <unordered_set>

#include "common/platform/platform.hpp"

namespace lw::report {

namespace {

constexpr std::uint32_t kPersistentChildren = 8;

// Which folder below the data folder a record's path field is relative to.
// Paths that name files of the game itself (the NPC skeletons) are left out.
struct PathField {
    const char* recordTag; // nullptr: any record
    const char* fieldTag;
    const char* kind;
    const char* folder;
};
constexpr PathField kPathFields[] = {
    {"NPC_", "MODL", nullptr, nullptr},
    {"CREA", "MODL", nullptr, nullptr},
    {"LTEX", "ICON", "texture", "Textures\\Landscape\\"},
    {"EYES", "ICON", "texture", "Textures\\"},
    {"SOUN", "FNAM", "sound", "Sound\\"},
    {nullptr, "MODL", "mesh", "Meshes\\"},
    {"ARMO", "MOD2", "mesh", "Meshes\\"},
    {"ARMO", "MOD3", "mesh", "Meshes\\"},
    {"ARMO", "MOD4", "mesh", "Meshes\\"},
    {"ARMO", "ICO2", "icon", "Textures\\Menus\\Icons\\"},
    {nullptr, "ICON", "icon", "Textures\\Menus\\Icons\\"},
};

const PathField* pathField(const std::string& recordTag, const std::string& fieldTag)
{
    for (const PathField& p : kPathFields)
        if (fieldTag == p.fieldTag && (!p.recordTag || recordTag == p.recordTag))
            return p.kind ? &p : nullptr;
    return nullptr;
}

std::uint32_t innermostType(const Record& r)
{
    return r.groups.empty() ? 0xFFFFFFFF : r.groups.back().second;
}

} // namespace

std::size_t Report::missingAssets() const
{
    std::size_t n = 0;
    for (const AssetUse& a : assets)
        n += a.exists ? 0 : 1;
    return n;
}

Report buildReport(const Plugin& plugin, const std::string& pluginPath, const std::string& targetData,
                   Platform& platform)
{
    Report r;
    r.pluginPath = pluginPath;
    r.bytes = plugin.bytes;
    r.groups = plugin.groupCount;
    r.topGroups = plugin.topGroupCount;
    r.counted = plugin.records.size() + plugin.groupCount;
    if (const Field* hedr = plugin.header.field("HEDR"))
        r.headerCount = hedr->u32(4).value_or(0);
    for (std::size_t i = 0; const Field* mast = plugin.header.field("MAST", i); ++i)
        r.masters.push_back(mast->text());

    std::unordered_set<std::uint32_t> formIds;
    for (const Record& rec : plugin.records)
        formIds.insert(rec.formId);

    std::set<std::string> seenPaths;
    for (const Record& rec : plugin.records) {
        ++r.recordsPerType[rec.tag];
        if ((rec.formId >> 24) == 0x01) {
            if (r.ownFormIds == 0 || rec.formId < r.firstFormId)
                r.firstFormId = rec.formId;
            if (r.ownFormIds == 0 || rec.formId > r.lastFormId)
                r.lastFormId = rec.formId;
            ++r.ownFormIds;
        } else {
            ++r.masterFormIds;
        }

        if (rec.tag == "REFR" || rec.tag == "ACHR") {
            bool interior = rec.insideTopGroup("CELL");
            bool persistent = innermostType(rec) == kPersistentChildren;
            if (interior)
                ++(persistent ? r.interiorPersistent : r.interiorTemporary);
            else
                ++(persistent ? r.exteriorPersistent : r.exteriorTemporary);
            if (rec.tag == "ACHR")
                ++r.actors;
            if (const Field* xtel = rec.field("XTEL")) {
                ++r.teleportDoors;
                std::uint32_t partner = xtel->u32(0).value_or(0);
                if (partner != 0 && formIds.count(partner))
                    ++r.pairedDoors;
            }
        }

        if (rec.tag == "REGN") {
            RegionSummary region;
            if (const Field* edid = rec.field("EDID"))
                region.editorId = edid->text();
            if (const Field* rpld = rec.field("RPLD"))
                region.outlinePoints = rpld->data.size() / 8;
            if (const Field* rclr = rec.field("RCLR"))
                region.mapColour = rclr->u32(0).value_or(0);
            r.regions.push_back(region);
        }

        for (const Field& f : rec.fields) {
            const PathField* pf = pathField(rec.tag, f.tag);
            if (!pf)
                continue;
            std::string path = f.text();
            if (path.empty())
                continue;
            std::string relative = pf->folder + path;
            std::string full = targetData + "\\" + relative;
            if (!seenPaths.insert(full).second)
                continue;
            AssetUse use;
            use.kind = pf->kind;
            use.path = path;
            use.relative = relative;
            use.fullPath = full;
            const Field* edid = rec.field("EDID");
            use.record = rec.tag + " " + (edid ? edid->text() : std::string("?"));
            use.exists = platform.findFile(full).has_value();
            r.assets.push_back(use);
        }
    }
    return r;
}

std::string formatReport(const Report& r)
{
    std::string out;
    char line[512];
    auto add = [&](const char* fmt, auto... args) {
        std::snprintf(line, sizeof line, fmt, args...);
        out += line;
    };

    add("Lorewright report for %s (%zu bytes)\n", r.pluginPath.c_str(), r.bytes);
    out += "Masters:";
    for (const std::string& m : r.masters)
        out += " " + m;
    out += r.masters.empty() ? " none\n" : "\n";

    std::size_t records = 0;
    for (const auto& [tag, n] : r.recordsPerType)
        records += n;
    add("\nRecords: %zu in %zu groups (%zu top-level)\n", records, r.groups, r.topGroups);
    for (const auto& [tag, n] : r.recordsPerType)
        add("  %-4s %6zu\n", tag.c_str(), n);
    add("Record count in the header: %u, counted: %zu: %s\n", r.headerCount, r.counted,
        r.headerCount == r.counted ? "ok" : "MISMATCH");
    if (r.ownFormIds > 0)
        add("Form identifiers: %zu new, 0x%08X to 0x%08X", r.ownFormIds, r.firstFormId, r.lastFormId);
    else
        out += "Form identifiers: none new";
    add(", %zu of the masters\n", r.masterFormIds);

    add("\nReferences: %zu (%zu actors)\n",
        r.interiorPersistent + r.interiorTemporary + r.exteriorPersistent + r.exteriorTemporary, r.actors);
    add("  interior persistent %zu, interior temporary %zu\n", r.interiorPersistent, r.interiorTemporary);
    add("  exterior persistent %zu, exterior temporary %zu\n", r.exteriorPersistent, r.exteriorTemporary);
    add("Teleport doors: %zu (%zu paired, %zu unpaired)\n", r.teleportDoors, r.pairedDoors,
        r.teleportDoors - r.pairedDoors);

    add("\nRegions: %zu\n", r.regions.size());
    for (const RegionSummary& g : r.regions)
        add("  %-32s %3zu outline points\n", g.editorId.c_str(), g.outlinePoints);

    std::map<std::string, std::pair<std::size_t, std::size_t>> perKind; // named, present
    for (const AssetUse& a : r.assets) {
        auto& [named, present] = perKind[a.kind];
        ++named;
        present += a.exists ? 1 : 0;
    }
    add("\nFiles named by records: %zu, missing %zu\n", r.assets.size(), r.missingAssets());
    for (const auto& [kind, counts] : perKind)
        add("  %-8s %4zu named, %4zu present\n", kind.c_str(), counts.first, counts.second);
    if (r.missingAssets() > 0) {
        out += "Missing:\n";
        for (const AssetUse& a : r.assets)
            if (!a.exists)
                out += "  " + a.relative + "  (" + a.record + ")\n";
    }
    return out;
}

} // namespace lw::report
