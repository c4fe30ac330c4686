#pragma once
// Small helpers over subrecord data that the object converters share.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/io/byte_cursor.hpp"
#include "modshift/tes3/record_tree.hpp"

namespace lw::modshift {

// Replaces the last four characters of the node's text (up to its zero byte or
// the end of the subrecord) in place by `extension` (four characters) and
// returns the text. Nothing when the text is shorter than four characters.
std::optional<std::string_view> replaceExtensionInPlace(RecordTree& tree, std::int32_t node,
                                                        std::string_view extension);

// A fixed-size copy of a data subrecord: bytes the subrecord does not have
// read as zero, bytes beyond N are ignored. A missing subrecord is all zeros.
template <std::size_t N>
std::array<std::uint8_t, N> fixedData(const RecordTree& tree, std::int32_t node)
{
    std::array<std::uint8_t, N> out{};
    if (node < 0)
        return out;
    ByteCursor cursor(tree.data(node));
    Bytes have = cursor.bytes(cursor.remaining() < N ? cursor.remaining() : N);
    for (std::size_t i = 0; i < have.size(); ++i)
        out[i] = have[i];
    return out;
}

} // namespace lw::modshift
