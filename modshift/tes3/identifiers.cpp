#include "modshift/tes3/identifiers.hpp"

#include <algorithm>

#include "modshift/tes3/record_tree.hpp"

namespace lw::modshift {

char convertIdentifierByte(std::uint8_t byte)
{
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9'))
        return static_cast<char>(byte);
    switch (byte) {
    case '\\':
    case '/':
        return static_cast<char>(byte);
    case '-':
        return 'T';
    case '.':
        return 'P';
    case ' ':
        return 'S';
    case '_':
        return 'U';
    case ',':
        return 'V';
    default:
        return 'X';
    }
}

std::string convertIdentifier(std::string_view source)
{
    // The source is a zero-terminated text: it ends at its first zero byte.
    source = source.substr(0, std::min(source.find('\0'), source.size()));
    std::string out(source.size(), '\0');
    for (std::size_t i = 0; i < source.size(); ++i)
        out[i] = convertIdentifierByte(static_cast<std::uint8_t>(source[i]));
    return out;
}

void convertIdentifierInPlace(std::span<std::uint8_t> text)
{
    for (std::uint8_t& b : text) {
        if (b == 0)
            return;
        b = static_cast<std::uint8_t>(convertIdentifierByte(b));
    }
}

std::string_view makeEditorId(RecordTree& tree, std::int32_t nameNode)
{
    const Node& n = tree.node(nameNode);
    std::span<std::uint8_t> data = tree.data(nameNode);
    convertIdentifierInPlace(data);
    // The byte in front of the data is the last byte of the subrecord's size
    // field, which nothing reads after parsing: it becomes the EditorID's "0".
    std::uint8_t* start = tree.image.data() + (n.offset - 1);
    *start = '0';
    std::string_view name = tree.text(nameNode);
    return {reinterpret_cast<const char*>(start), name.size() + 1};
}

} // namespace lw::modshift
