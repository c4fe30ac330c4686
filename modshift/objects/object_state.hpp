#pragma once
// Run state of the object converters beyond the shared converted-record
// tables: the list table of the converter that is running and the land
// texture table. Owned by the objects subsystem.

#include <array>
#include <cstdint>

#include "modshift/objects/list_file.hpp"

namespace lw::modshift {

struct ObjectState {
    // The list file of the running converter; loaded at its start, emptied at its end.
    ListTable list;
    // Land texture form identifiers by slot: slot k holds the TES3 land texture
    // whose texture index is k - 1 (slot 0: the default texture unless one has
    // index -1). 0 where no texture was converted. Read by the landscape.
    std::array<std::uint32_t, 256> landTextures{};
};

} // namespace lw::modshift
