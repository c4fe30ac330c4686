#pragma once
// The one loop every object converter runs, driven by a small description of
// its type. For a type the loop
//   1. prints its "Saving" line, finds the type's records and refuses more than
//      the capacity ("too many ..."), prints the "found" line (none: no group);
//   2. loads the type's list file, begins the group, opens the archive if the
//      type copies textures or icons;
//   3. per record: resets the working state, hands each subrecord to the type's
//      handler (stopping early, for most types, once the record is refused or
//      resolved through the list file), lets the type decide, fills the
//      converted-record table and writes the record or prints "skipping";
//   4. ends the group, closes the archive and empties the list table.
// The subrecord handlers shared by several types live here too.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "modshift/objects/mesh_convert.hpp"
#include "modshift/tes3/record_table.hpp"
#include "modshift/tes4/tes4_writer.hpp"

namespace lw::modshift {

struct Conversion;
struct ObjectKind;

// The per-record working state, reset for every record. Each type uses the
// fields it needs.
struct ObjectWork {
    ObjectWork(Conversion& conversion, const ObjectKind& k, std::int32_t rec)
        : c(conversion), kind(k), record(rec)
    {
    }

    Conversion& c;
    const ObjectKind& kind;
    std::int32_t record;

    std::string_view editorId;  // "0" + converted NAME; empty: none
    std::uint32_t listValue = 0; // form identifier from the list file
    bool refused = false;
    const char* refusal = nullptr; // why it was refused, for the log (none: told by the state)
    bool furniture = false;

    bool sawModel = false;       // a MODL subrecord was seen
    bool hasModel = false;       // modelPath is usable
    std::string modelPath;       // TES4 model path
    std::optional<std::string_view> fullName;
    std::optional<std::string> iconPath;
    std::int32_t dataNode = -1;  // the type's data subrecord (last one seen)

    // books
    std::optional<std::string> description;
    // containers and flora
    bool organic = false;
    bool respawn = false;
    float weight = 0.0f;
    std::vector<std::pair<std::uint32_t, std::int32_t>> items; // found items: form id, count
    int itemRecords = 0;                                       // every NPCO
    // sounds
    std::optional<std::string> soundPath;
    // land textures
    std::optional<std::int32_t> textureIndex;

    // The converted identifier (the EditorID without its "0").
    std::string_view converted() const { return editorId.empty() ? editorId : editorId.substr(1); }
    // FNAM, or the converted identifier when the record has none.
    std::string_view displayName() const { return fullName ? *fullName : converted(); }
};

enum class Verdict {
    Write,  // new form identifier, record written
    Skip,   // not written, "skipping"
    Silent, // not written, nothing printed
    Stop,   // the converter stops here (after the type's own message)
};

struct ObjectKind {
    Tag sourceTag = 0;
    Tag targetTag = 0;
    RecordTable Tables::*table = nullptr; // none: the type keeps its own table
    std::size_t capacity = 0;
    const char* saving = "";   // "\nSaving statics\n"
    const char* found = "";    // "found %i statics\n"
    const char* tooMany = "";  // "too many statics!\n"
    const char* listFile = nullptr;
    bool openArchive = false;
    bool dotPerRecord = false;        // "." before each record
    bool announceSubrecords = false;  // "parse header\n" before each subrecord
    bool newlineAfter = false;        // "\n" after the last record
    bool stopEarly = true;            // stop the walk once refused or resolved
    MeshRequest mesh;                 // folder, options, announce (furniture per record)
    std::string_view iconFolder;
    std::uint32_t boundRadius = 0;    // MODB, bits of a 32-bit float

    void (*begin)(Conversion&) = nullptr;
    void (*subrecord)(ObjectWork&, std::int32_t node) = nullptr;
    Verdict (*decide)(ObjectWork&) = nullptr;
    void (*build)(const ObjectWork&, SubrecordBuffer&) = nullptr;
    void (*written)(ObjectWork&, std::uint32_t formId) = nullptr;
};

// Refuses the record, saying why for the conversion log.
inline void refuse(ObjectWork& w, const char* why)
{
    w.refused = true;
    w.refusal = why;
}

// Runs the converter of one type; 0, or -1 when it stopped early.
int runObjectConverter(Conversion& c, const ObjectKind& kind);

// --- shared subrecord handlers --------------------------------------------

// NAME: makes the EditorID in place. With `useList`, first looks the TES3
// identifier up in the list file; a value resolves the record.
void handleName(ObjectWork& w, std::int32_t node, bool useList);
// Whether the node's text begins with one of the given spellings.
bool textBeginsWith(const ObjectWork& w, std::int32_t node, std::string_view prefix);
// MODL: converts the mesh; a model that cannot be used refuses the record.
void handleModel(ObjectWork& w, std::int32_t node);
// ITEX: normalises the icon path, names the TES4 icon and copies it.
void handleIcon(ObjectWork& w, std::int32_t node);
// FNAM as display name.
void handleFullName(ObjectWork& w, std::int32_t node);

// The usual verdict: refused or list-resolved records are skipped, so is one
// without NAME or without a usable model (it then counts as refused).
Verdict decideModelRecord(ObjectWork& w);

// MODL and MODB subrecords of the record's model.
void writeModel(const ObjectWork& w, SubrecordBuffer& out);

// Tags used by several types.
inline constexpr Tag kNAME = makeTag("NAME");
inline constexpr Tag kFNAM = makeTag("FNAM");
inline constexpr Tag kMODL = makeTag("MODL");
inline constexpr Tag kITEX = makeTag("ITEX");
inline constexpr Tag kEDID = makeTag("EDID");
inline constexpr Tag kFULL = makeTag("FULL");
inline constexpr Tag kMODB = makeTag("MODB");
inline constexpr Tag kICON = makeTag("ICON");
inline constexpr Tag kDATA = makeTag("DATA");

} // namespace lw::modshift
