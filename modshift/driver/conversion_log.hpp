#pragma once
// The conversion log <name>_ob.log: a plain-text account of one run, one line
// per entry, so that runs can be searched and compared:
//
//   not converted: STAT "DoorMarker" (marker)
//   mesh failed: x\broken.nif (damaged or refused by meshshift, status 255)
//   missing asset: sound <source path>
//   capacity: too many statics!
//
// followed by a summary: per record type the records of the source plugin and
// the records written, then the meshes converted, reused and failed and the
// files copied. Converters report what they leave out through the calls
// below; the console text stays as it is.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace lw::modshift {

struct Conversion;
class RecordTree;

class ConversionLog {
public:
    // A source record left out of the plugin: its record type (four letters),
    // its identifier (empty: it has none) and why.
    void notConverted(std::string_view type, std::string_view identifier, std::string_view reason);
    // An asset the plugin names that could not be found; `kind` is "texture",
    // "icon" or "sound".
    void missingAsset(std::string_view kind, std::string_view path);
    // A capacity message as the console shows it (its line end is dropped).
    void capacity(std::string_view message);
    void meshConverted() { ++meshesConverted_; }
    void meshReused() { ++meshesReused_; }
    void meshFailed(std::string_view model, std::string_view reason);
    void fileCopied() { ++filesCopied_; }

    const std::vector<std::string>& entries() const { return entries_; }
    int meshesConverted() const { return meshesConverted_; }
    int meshesReused() const { return meshesReused_; }
    int meshesFailed() const { return meshesFailed_; }
    int filesCopied() const { return filesCopied_; }

    // Keeps the identifier of every record of the plugin before the converters
    // rewrite names in place, so entries name records as the source does.
    void rememberIdentifiers(const RecordTree& tree);
    const std::string* identifierOf(std::int32_t record) const;
    // True the first time it is asked about a record: a record two
    // converters leave out (a container refused by both the container and the
    // flora converter) is told once.
    bool firstReport(std::int32_t record) { return reported_.insert(record).second; }

private:
    std::vector<std::string> entries_;
    std::unordered_map<std::int32_t, std::string> identifiers_;
    std::unordered_set<std::int32_t> reported_;
    int meshesConverted_ = 0;
    int meshesReused_ = 0;
    int meshesFailed_ = 0;
    int filesCopied_ = 0;
};

// The record `record` of the plugin is left out of the output, for `reason`.
void logNotConverted(Conversion& c, std::int32_t record, std::string_view reason);

// The mesh converter did not give a usable mesh for `model` (status: its exit
// status; none: it could not be started). Tells a mesh found nowhere in the
// source data from one meshshift refused.
void logMeshFailure(Conversion& c, std::string_view model, std::optional<int> status);

// The whole log of a finished run: every entry, one for each record of a type
// that no converter handles, and the summary.
std::string conversionLogText(const Conversion& c);

} // namespace lw::modshift
