// TES3 plugin layout, as the parser walks it (little-endian):
//
//   plugin    := record*  [tail < 8 bytes, ignored]
//   record    := tag[4] size:u32 unused:u32 flags:u32  child*  [tail < 8 bytes]
//   child     := subrecord | record          (decided by the tag alone)
//   subrecord := tag[4] size:u32 data[size]
//
// A record's size counts the bytes after its 16-byte header. Every node must lie
// inside the bytes of its parent record (or of the plugin); a size that runs past
// that end refuses the plugin instead of reading outside it. The walk keeps its
// own stack of open levels, so deeply nested records cannot exhaust the call stack.
//
// Tags outside the lists below are stepped over by their sizes, so one new
// kind of data does not cost the user the whole plugin: inside a record such a
// tag is a leaf that no converter reads; at the top level the record is left
// out of the tree. Only a plugin whose very first tag is unknown (not a TES3
// plugin at all) is refused.

#include "modshift/tes3/record_tree.hpp"

#include <algorithm>
#include <array>
#include <cstdint>

#include "common/console/console.hpp"
#include "common/io/byte_cursor.hpp"

namespace lw::modshift {

namespace {

constexpr std::array<Tag, 43> kRecordTags = {
    makeTag("ACTI"), makeTag("ALCH"), makeTag("APPA"), makeTag("ARMO"), makeTag("BODY"),
    makeTag("BOOK"), makeTag("BSGN"), makeTag("CELL"), makeTag("CLAS"), makeTag("CLOT"),
    makeTag("CONT"), makeTag("CREA"), makeTag("DIAL"), makeTag("DOOR"), makeTag("ENCH"),
    makeTag("FACT"), makeTag("GLOB"), makeTag("GMST"), makeTag("INFO"), makeTag("INGR"),
    makeTag("LAND"), makeTag("LEVC"), makeTag("LEVI"), makeTag("LIGH"), makeTag("LOCK"),
    makeTag("LTEX"), makeTag("MGEF"), makeTag("MISC"), makeTag("NPC_"), makeTag("PGRD"),
    makeTag("PROB"), makeTag("RACE"), makeTag("REGN"), makeTag("REPA"), makeTag("SCPT"),
    makeTag("SKIL"), makeTag("SNDG"), makeTag("SOUN"), makeTag("SPEL"), makeTag("SSCR"),
    makeTag("STAT"), makeTag("TES3"), makeTag("WEAP"),
};

constexpr std::array<Tag, 96> kSubrecordTags = {
    makeTag("AADT"), makeTag("AIDT"), makeTag("AI_A"), makeTag("AI_E"), makeTag("AI_F"), makeTag("AI_T"),
    makeTag("AI_W"), makeTag("ALDT"), makeTag("AMBI"), makeTag("ANAM"), makeTag("AODT"),
    makeTag("ASND"), makeTag("AVFX"), makeTag("BKDT"), makeTag("BNAM"), makeTag("BSND"),
    makeTag("BVFX"), makeTag("BYDT"), makeTag("CLDT"), makeTag("CNAM"), makeTag("CNDT"),
    makeTag("CSND"), makeTag("CTDT"), makeTag("CVFX"), makeTag("DATA"), makeTag("DELE"),
    makeTag("DESC"), makeTag("DNAM"), makeTag("DODT"), makeTag("ENAM"), makeTag("ENDT"),
    makeTag("FADT"), makeTag("FLAG"), makeTag("FLTV"), makeTag("FNAM"), makeTag("FRMR"),
    makeTag("HEDR"), makeTag("HSND"), makeTag("HVFX"), makeTag("INAM"), makeTag("INDX"),
    makeTag("INTV"), makeTag("IRDT"), makeTag("ITEX"), makeTag("KNAM"), makeTag("LHDT"),
    makeTag("LKDT"), makeTag("MAST"), makeTag("MCDT"), makeTag("MEDT"), makeTag("MODL"),
    makeTag("MVRF"), makeTag("NAM0"), makeTag("NAM5"), makeTag("NAM9"), makeTag("NAME"),
    makeTag("NNAM"), makeTag("NPCO"), makeTag("NPCS"), makeTag("NPDT"), makeTag("ONAM"),
    makeTag("PBDT"), makeTag("PGRC"), makeTag("PGRP"), makeTag("PNAM"), makeTag("PTEX"),
    makeTag("QSTF"), makeTag("QSTN"), makeTag("QSTR"), makeTag("RADT"), makeTag("RGNN"),
    makeTag("RIDT"), makeTag("RNAM"), makeTag("SCDT"), makeTag("SCHD"), makeTag("SCRI"),
    makeTag("SCTX"), makeTag("SCVR"), makeTag("SKDT"), makeTag("SNAM"), makeTag("SPDT"),
    makeTag("STRV"), makeTag("TEXT"), makeTag("TNAM"), makeTag("UNAM"), makeTag("VCLR"),
    makeTag("VHGT"), makeTag("VNML"), makeTag("VTEX"), makeTag("WEAT"), makeTag("WHGT"),
    makeTag("WNAM"), makeTag("WPDT"), makeTag("XCHG"), makeTag("XSCL"), makeTag("XSOL"),
};

template <std::size_t N>
constexpr std::array<Tag, N> sorted(std::array<Tag, N> tags)
{
    std::sort(tags.begin(), tags.end());
    return tags;
}

constexpr auto kSortedRecordTags = sorted(kRecordTags);
constexpr auto kSortedSubrecordTags = sorted(kSubrecordTags);

enum class TagKind { Record, Subrecord, Unknown };

TagKind classify(Tag tag)
{
    if (std::binary_search(kSortedRecordTags.begin(), kSortedRecordTags.end(), tag))
        return TagKind::Record;
    if (std::binary_search(kSortedSubrecordTags.begin(), kSortedSubrecordTags.end(), tag))
        return TagKind::Subrecord;
    return TagKind::Unknown;
}

constexpr std::size_t kNodeHeader = 8;   // tag and size
constexpr std::size_t kRecordHeader = 16; // tag, size and two skipped words

// One level of the walk: the nodes between `position` and `end` are children
// of `parent` (-1 at the top).
struct Level {
    std::size_t position;
    std::size_t end;
    std::int32_t parent;
    std::int32_t last; // the previous node on this level, -1 before the first
};

void indent(Console& console, std::size_t depth)
{
    for (std::size_t i = 0; i < depth; ++i)
        console.write("  ");
}

// The remaining count the messages show: what is left of the level after this
// node's header and size, as a signed 32-bit number.
std::int32_t leftAfter(const Level& level, std::uint32_t size)
{
    std::int64_t left = static_cast<std::int64_t>(level.end - level.position) -
                        static_cast<std::int64_t>(size) - static_cast<std::int64_t>(kNodeHeader);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(left)));
}

} // namespace

std::string tagName(Tag tag)
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[static_cast<std::size_t>(i)] = static_cast<char>((tag >> (8 * i)) & 0xFF);
    return s;
}

std::string_view RecordTree::text(std::int32_t index) const
{
    std::span<std::uint8_t> bytes = data(index);
    auto zero = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return {reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::size_t>(zero - bytes.begin())};
}

const std::vector<std::int32_t>& RecordTree::find(Tag tag) const
{
    static const std::vector<std::int32_t> none;
    auto it = byTag_.find(tag);
    return it == byTag_.end() ? none : it->second;
}

void RecordTree::buildIndex()
{
    byTag_.clear();
    for (std::int32_t i = 0; i < count(); ++i)
        byTag_[node(i).tag].push_back(i);
}

int parseRecordTree(std::span<std::uint8_t> image, RecordTree& tree, Console& console, std::size_t capacity)
{
    tree.image = image;
    tree.nodes.clear();
    tree.buildIndex();
    if (image.size() > UINT32_MAX) {
        // Node offsets are 32-bit, as are the format's own sizes.
        console.print("file too large, size=%llu\n", static_cast<unsigned long long>(image.size()));
        return -1;
    }

    ByteCursor cursor(Bytes(image.data(), image.size()));
    std::vector<Level> levels;
    std::vector<Tag> reported; // unknown tags already named on the console
    levels.push_back(Level{0, image.size(), -1, -1});

    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.end - level.position < kNodeHeader) {
            // Fewer than 8 bytes left: the level ends here; its parent already
            // stands at the end of the record, tail included.
            levels.pop_back();
            continue;
        }

        cursor.seek(level.position);
        Tag tag = cursor.u32();
        std::uint32_t size = cursor.u32();
        const std::size_t depth = levels.size() - 1;
        const bool top = depth == 0;
        TagKind kind = classify(tag);
        if (kind == TagKind::Unknown && !(top && level.position == 0)) {
            if (std::find(reported.begin(), reported.end(), tag) == reported.end()) {
                reported.push_back(tag);
                console.print("unknown %s stepped over\n", tagName(tag).c_str());
            }
            const std::size_t available = level.end - level.position;
            if (top && available >= kRecordHeader && available - kRecordHeader >= size) {
                level.position += kRecordHeader + size; // no node: nothing reads it
                continue;
            }
            // A leaf inside a record; at the top, a size that does not fit is
            // refused below like that of any record.
            kind = top ? TagKind::Record : TagKind::Subrecord;
        }

        auto index = tree.count();
        Node n;
        n.tag = tag;
        n.size = size;
        n.parent = level.parent;
        n.previous = level.last;
        if (level.last != -1)
            tree.nodes[static_cast<std::size_t>(level.last)].next = index;
        tree.nodes.push_back(n);
        level.last = index;
        if (tree.nodes.size() >= capacity)
            return -1;

        if (kind == TagKind::Unknown) {
            indent(console, depth);
            console.print("unknown %s(%i), size=%i, prev=%i, next=%i, parent=%i, left=%i\n",
                          tagName(tag).c_str(), index, static_cast<std::int32_t>(size), n.previous,
                          -1, n.parent, leftAfter(level, size));
            return -1;
        }

        std::size_t header = kind == TagKind::Record ? kRecordHeader : kNodeHeader;
        std::size_t available = level.end - level.position;
        if (available < header || available - header < size) {
            indent(console, depth);
            console.print("size past end %s(%i), size=%i, prev=%i, parent=%i, left=%i\n",
                          tagName(tag).c_str(), index, static_cast<std::int32_t>(size), n.previous,
                          n.parent, leftAfter(level, size));
            return -1;
        }

        std::size_t dataStart = level.position + header;
        std::size_t dataEnd = dataStart + size;
        Node& placed = tree.nodes.back();
        placed.offset = static_cast<std::uint32_t>(dataStart);
        level.position = dataEnd;
        if (kind == TagKind::Record && size >= kNodeHeader) {
            placed.firstChild = index + 1;
            levels.push_back(Level{dataStart, dataEnd, index, -1});
        }
    }

    tree.buildIndex();
    return 0;
}

} // namespace lw::modshift
