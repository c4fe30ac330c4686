#pragma once
// Run state of the object converters beyond the shared tables (the land
// texture table, the list table, ...). Owned by the objects subsystem.

namespace lw::modshift {

struct ObjectState {
};

} // namespace lw::modshift
