#pragma once
// Reader of Morrowind meshes, NIF version 4.0.0.2.
//
//   "NetImmerse File Format, Version 4.0.0.2"  39 bytes, then a line feed
//   version                                   u32 (not checked)
//   number of blocks                          u32 (at most 2048)
//   blocks                                    each: type name (u32 length + chars), fields
//   footer                                    not read
//
// Every block becomes an entry of the job's block table with a typed record;
// entry i is source block i, so links are entry numbers. Every length, count
// and link is checked against the image and the tables: a damaged or hostile
// mesh is refused with a message, never read past its end.

namespace lw::meshshift {

struct MeshJob;

// Reads job.sourceImage into job.blocks (and job.records). 0, or -1 after a message.
int readSourceMesh(MeshJob& job);

} // namespace lw::meshshift
