#pragma once
// Run state of the region parse and save (the region table). Owned by the
// regions part of the world subsystem.

namespace lw::modshift {

struct RegionState {
};

} // namespace lw::modshift
