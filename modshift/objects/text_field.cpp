#include "modshift/objects/text_field.hpp"

namespace lw::modshift {

std::optional<std::string_view> replaceExtensionInPlace(RecordTree& tree, std::int32_t node,
                                                        std::string_view extension)
{
    std::span<std::uint8_t> data = tree.data(node);
    const std::size_t length = tree.text(node).size();
    if (length < 4 || extension.size() != 4)
        return std::nullopt;
    for (std::size_t i = 0; i < 4; ++i)
        data[length - 4 + i] = static_cast<std::uint8_t>(extension[i]);
    return std::string_view(reinterpret_cast<const char*>(data.data()), length);
}

} // namespace lw::modshift
