#pragma once
// Run state of the world converters (exterior grid, interiors, regions,
// teleport doors, ...). Owned by the world subsystem.

namespace lw::modshift {

struct WorldState {
};

} // namespace lw::modshift
