#pragma once
// The record tree: one node per TES3 record and subrecord of the loaded plugin,
// in file order (a record's node is followed by its subrecords' nodes), linked
// by indices to parent, first child and siblings. Nodes point into the loaded
// plugin; nothing is copied. Converters may rewrite subrecord bytes in place.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lw {
class Console;
}

namespace lw::modshift {

using Tag = std::uint32_t;

// The tag as one 32-bit value, first character in the lowest byte.
constexpr Tag makeTag(const char (&s)[5])
{
    return static_cast<Tag>(static_cast<std::uint8_t>(s[0])) |
           static_cast<Tag>(static_cast<std::uint8_t>(s[1])) << 8 |
           static_cast<Tag>(static_cast<std::uint8_t>(s[2])) << 16 |
           static_cast<Tag>(static_cast<std::uint8_t>(s[3])) << 24;
}
std::string tagName(Tag tag);

struct Node {
    Tag tag = 0;
    std::uint32_t size = 0;   // data bytes after the header
    std::int32_t parent = -1;
    std::int32_t firstChild = -1;
    std::int32_t previous = -1;
    std::int32_t next = -1;
    std::uint32_t offset = 0; // data position inside the loaded plugin
};

class RecordTree {
public:
    static constexpr std::size_t kCapacity = 5'000'000;

    // The loaded plugin the nodes point into; must outlive the tree and never
    // be resized while the tree is in use.
    std::span<std::uint8_t> image;
    std::vector<Node> nodes;

    std::int32_t count() const { return static_cast<std::int32_t>(nodes.size()); }
    const Node& node(std::int32_t index) const { return nodes[static_cast<std::size_t>(index)]; }

    // The node's data bytes; the parser guarantees they lie inside the image.
    std::span<std::uint8_t> data(std::int32_t index) const
    {
        const Node& n = node(index);
        return image.subspan(n.offset, n.size);
    }
    // The node's data read as a zero-terminated text, never past its size.
    std::string_view text(std::int32_t index) const;

    // Every node with this tag (nested records included), in file order.
    const std::vector<std::int32_t>& find(Tag tag) const;

    // The subrecords of a record, by increasing index, up to the one whose
    // next is -1. Usage: for (std::int32_t c : tree.children(record)) ...
    class ChildRange {
    public:
        struct Iterator {
            const RecordTree* tree;
            std::int32_t index;
            std::int32_t operator*() const { return index; }
            Iterator& operator++()
            {
                index = tree->node(index).next == -1 ? -1 : index + 1;
                return *this;
            }
            bool operator!=(const Iterator& o) const { return index != o.index; }
        };
        Iterator begin() const { return {tree_, first_}; }
        Iterator end() const { return {tree_, -1}; }
        ChildRange(const RecordTree* tree, std::int32_t first) : tree_(tree), first_(first) {}

    private:
        const RecordTree* tree_;
        std::int32_t first_;
    };
    ChildRange children(std::int32_t record) const { return {this, node(record).firstChild}; }

    // Builds the tag index used by find(); the parser calls it after success.
    void buildIndex();

private:
    std::unordered_map<Tag, std::vector<std::int32_t>> byTag_;
};

// Parses the whole plugin image into `tree` (which is reset first). 0 on
// success; -1 after printing why (unknown tag, size past the end, too many
// nodes). The caller prints "Error parsing file!\n". Masters, which may be
// larger than any plugin, are parsed with a higher node limit.
int parseRecordTree(std::span<std::uint8_t> image, RecordTree& tree, Console& console,
                    std::size_t capacity = RecordTree::kCapacity);

} // namespace lw::modshift
