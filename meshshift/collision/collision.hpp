#pragma once
// The collision step between reading a mesh and writing it: appends the Havok
// blocks taken from the template, drops what the target game does not get and
// decides the order in which blocks are written.

namespace lw::meshshift {

struct MeshJob;

// 0 on success, -1 after a message when the mesh cannot be given collision.
int buildCollision(MeshJob& job);

} // namespace lw::meshshift
