#pragma once
// The descriptions of the object types, one per converter.

#include "modshift/objects/object_engine.hpp"

namespace lw::modshift::kinds {

const ObjectKind& statics();
const ObjectKind& weapons();
const ObjectKind& misc();
const ObjectKind& books();
const ObjectKind& lights();
const ObjectKind& doors();
const ObjectKind& containers();
const ObjectKind& flora();
const ObjectKind& activators();
const ObjectKind& sounds();
const ObjectKind& landTextures();

} // namespace lw::modshift::kinds
