#include "modshift/driver/conversion_log.hpp"

#include <array>
#include <cstdio>

#include "common/bsa/bsa_archive.hpp"
#include "modshift/driver/conversion.hpp"

namespace lw::modshift {

namespace {

// The source record types some converter reads; records of every other type
// (scripts, dialogue, spells, ...) have no counterpart in the output.
constexpr std::array<Tag, 19> kConvertedTypes = {
    makeTag("TES3"), makeTag("SOUN"), makeTag("REGN"), makeTag("LTEX"), makeTag("STAT"),
    makeTag("DOOR"), makeTag("MISC"), makeTag("WEAP"), makeTag("CONT"), makeTag("CREA"),
    makeTag("LIGH"), makeTag("NPC_"), makeTag("ARMO"), makeTag("ACTI"), makeTag("BOOK"),
    makeTag("LEVC"), makeTag("CELL"), makeTag("LAND"), makeTag("PGRD"),
};

std::string notConvertedLine(std::string_view type, std::string_view identifier, std::string_view reason)
{
    return "not converted: " + std::string(type) + " \"" + std::string(identifier) + "\" (" + std::string(reason) +
           ")";
}

bool converted(Tag tag)
{
    for (Tag t : kConvertedTypes)
        if (t == tag)
            return true;
    return false;
}

} // namespace

void ConversionLog::notConverted(std::string_view type, std::string_view identifier, std::string_view reason)
{
    entries_.push_back(notConvertedLine(type, identifier, reason));
}

void ConversionLog::missingAsset(std::string_view kind, std::string_view path)
{
    entries_.push_back("missing asset: " + std::string(kind) + " " + std::string(path));
}

void ConversionLog::capacity(std::string_view message)
{
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.remove_suffix(1);
    entries_.push_back("capacity: " + std::string(message));
}

void ConversionLog::meshFailed(std::string_view model, std::string_view reason)
{
    ++meshesFailed_;
    entries_.push_back("mesh failed: " + std::string(model) + " (" + std::string(reason) + ")");
}

void ConversionLog::rememberIdentifiers(const RecordTree& tree)
{
    identifiers_.clear();
    for (std::int32_t i = 0; i < tree.count(); ++i) {
        if (tree.node(i).parent != -1)
            continue;
        for (std::int32_t child : tree.children(i)) {
            const Tag tag = tree.node(child).tag;
            if (tag == makeTag("NAME") || tag == makeTag("INAM")) {
                identifiers_.emplace(i, std::string(tree.text(child)));
                break;
            }
        }
    }
}

const std::string* ConversionLog::identifierOf(std::int32_t record) const
{
    auto it = identifiers_.find(record);
    return it == identifiers_.end() ? nullptr : &it->second;
}

void logNotConverted(Conversion& c, std::int32_t record, std::string_view reason)
{
    if (!c.log.firstReport(record))
        return;
    const std::string* id = c.log.identifierOf(record);
    c.log.notConverted(tagName(c.tree.node(record).tag), id ? *id : std::string_view(), reason);
}

void logMeshFailure(Conversion& c, std::string_view model, std::optional<int> status)
{
    if (!status) {
        c.log.meshFailed(model, "meshshift could not be started");
        return;
    }
    // meshshift's exit status does not say why; a mesh that is neither a
    // loose file nor in the archive is the common case worth telling apart.
    bool present = c.platform.findFile(c.config.sourceData + "\\Meshes\\" + std::string(model)).has_value();
    if (!present) {
        Console quiet = Console::capturing(); // the archive's own messages stay off the console
        BsaArchive archive(c.platform, quiet, false);
        std::string entry = "meshes\\" + std::string(model);
        present = archive.open(c.config.archivePath()) == 0 && archive.read(entry).has_value();
    }
    if (!present) {
        c.log.meshFailed(model, "not found in the source data folder or the archive");
        return;
    }
    // Windows reports meshshift's -1 as -1, POSIX as 255: the low byte reads
    // the same on both, so logs of one mod compare across systems.
    c.log.meshFailed(model, "meshshift ended with status " + std::to_string(*status & 0xFF));
}

std::string conversionLogText(const Conversion& c)
{
    std::string text;
    for (const std::string& entry : c.log.entries())
        text.append(entry).push_back('\n');

    struct Counts {
        int source = 0;
        int written = 0;
    };
    std::map<std::string, Counts> types;
    const RecordTree& tree = c.tree;
    for (std::int32_t i = 0; i < tree.count(); ++i) {
        const Tag tag = tree.node(i).tag;
        if (tree.node(i).parent != -1 || tag == makeTag("TES3"))
            continue;
        ++types[tagName(tag)].source;
        if (!converted(tag)) {
            const std::string* id = c.log.identifierOf(i);
            text.append(notConvertedLine(tagName(tag), id ? *id : std::string_view(), "type not converted"))
                .push_back('\n');
        }
    }
    for (const auto& [tag, count] : c.out.writtenByTag())
        types[tagName(tag)].written += count;

    text += "\nsummary\ntype    source  written\n";
    char row[96];
    for (const auto& [name, counts] : types) {
        std::snprintf(row, sizeof row, "%-4s%10d%9d\n", name.c_str(), counts.source, counts.written);
        text += row;
    }
    std::snprintf(row, sizeof row, "meshes: %d converted, %d reused, %d failed\n", c.log.meshesConverted(),
                  c.log.meshesReused(), c.log.meshesFailed());
    text += row;
    std::snprintf(row, sizeof row, "files copied: %d\n", c.log.filesCopied());
    text += row;
    return text;
}

} // namespace lw::modshift
