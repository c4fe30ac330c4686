#pragma once
// Reader of the template mesh "bhktemp.nif", NIF version 20.0.0.5:
//
//   "Gamebryo File Format, Version 20.0.0.5"  38 bytes
//   line feed, version, endian type, user version   10 bytes (not checked)
//   number of blocks                          u32 (at most 2048)
//   user version 2                            u32
//   creator, export info 1, export info 2     each a u8 length and that many bytes
//   number of block types                     u16, then that many u32-sized names
//   block type index                          u16 per block
//   unknown                                   u32
//   blocks                                    each in the layout of its type (its sync)
//
// Everything is checked against the image and the tables: a damaged template
// is refused with a message.

#include <string_view>

namespace lw {
class Console;
}

namespace lw::meshshift {

struct TemplateTable;

// Reads templ.image into the table. 0, or -1 after a message.
int readTemplate(Console& console, TemplateTable& templ);

// The template block types this program reads, in no particular order.
bool isTemplateBlockType(std::string_view name);

} // namespace lw::meshshift
