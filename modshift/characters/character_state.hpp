#pragma once
// Run state of the character converters (head table, eyes, ...). Owned by the
// characters subsystem.

namespace lw::modshift {

struct CharacterState {
};

} // namespace lw::modshift
