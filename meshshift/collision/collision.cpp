// The collision step is not built yet: it changes nothing, and the writer
// numbers blocks in entry order.
#include "meshshift/collision/collision.hpp"

namespace lw::meshshift {

int buildCollision(MeshJob&) { return 0; }

} // namespace lw::meshshift
