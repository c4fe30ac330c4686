#pragma once
// Run state of the world converters (exterior grid, interiors, teleport doors,
// ...). Owned by the world subsystem; regions keep theirs in RegionState.

#include "modshift/world/region_state.hpp"

namespace lw::modshift {

struct WorldState {
    RegionState regions;
};

} // namespace lw::modshift
