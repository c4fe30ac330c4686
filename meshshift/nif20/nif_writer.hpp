#pragma once
// Writer of the converted scene as NIF version 20.0.0.5:
//
//   "Gamebryo File Format, Version 20.0.0.5"  38 bytes, line feed
//   version 0x14000005, endian type 1, user version 11
//   number of blocks, user version 2 (11)
//   creator, export info 1, export info 2     u8 length (counting a zero byte), text, zero
//   block types                               u16 count, u32-sized names in order of first use
//   block type index                          u16 per written block
//   unknown                                   u32 0
//   blocks                                    in output order, each in its version-20 layout
//   footer                                    u32 1 (roots), u32 0 (the root is block 0)
//
// Links are written as output numbers; link lists lose the blocks that are not
// written. Source blocks get their version-20 form on the way (fields version 4
// lacks take fixed values); template and collision blocks are written in the
// layout their `sync` describes. External textures are copied and renamed while
// their NiSourceTexture is written.

#include <cstdint>
#include <vector>

namespace lw::meshshift {

struct MeshJob;

// Writes the whole file into `out`. 0, or -1 after a message (a block type
// without a writer also waits for a key, as the user must see it).
int writeScene(MeshJob& job, std::vector<std::uint8_t>& out);

} // namespace lw::meshshift
