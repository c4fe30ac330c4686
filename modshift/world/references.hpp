#pragma once
// Placed objects of the TES3 world (FRMR groups of subrecords inside a CELL):
// reading one reference, filing exterior references that stand outside their
// own cell, converting a reference into the reference lists of the pass being
// written, and writing it as a TES4 REFR or ACHR.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace lw::modshift {

struct Conversion;
struct ConvertedReference;
class RecordTree;

inline constexpr std::string_view kExteriorCellName = "** exterior **";
inline constexpr int kTes3CellSize = 8192;
inline constexpr int kTes4CellSize = 4096;

// The subrecords of one reference, from its FRMR up to the next FRMR or the
// end of the cell. A DATA or DODT shorter than its 24 bytes, or an XSCL shorter
// than 4, counts as absent. Where a subrecord repeats, the last one counts.
struct ReferenceFields {
    std::int32_t name = -1;                    // NAME node
    std::span<const std::uint8_t> placement;   // DATA, 24 bytes
    std::optional<std::uint32_t> scale;        // XSCL, raw float bits
    std::int32_t destinationName = -1;         // DNAM node
    std::span<const std::uint8_t> destination; // DODT, 24 bytes
    std::int32_t next = -1;                    // the next FRMR of the cell, -1 at its end
};
ReferenceFields readReference(const RecordTree& tree, std::int32_t frmr);

// A placement coordinate rounded to a whole number, halves away from zero.
// Done in double precision, which holds every float exactly, so 8191.5 gives
// 8192 and 8191.4 gives 8191; NaN stays NaN and falls in no cell.
double roundCoordinate(float v);
// The placement's rounded x and y (0, 0 without DATA).
void roundedPosition(const ReferenceFields& f, double& x, double& y);

// Files one exterior reference of cell (x, y): puts it on the out-of-cell
// list when it stands elsewhere. Returns the next FRMR of the cell, or -1 at
// its end or after an error (then the cell's other references go unchecked).
std::int32_t checkReferenceCell(Conversion& c, std::int32_t frmr, int x, int y);

// Converts one reference for the pass being written. (x, y) is the TES3 cell
// of an exterior, or (i, i) for interior i. Returns the next FRMR of the
// cell, or -1 at its end or after an error.
std::int32_t convertReference(Conversion& c, std::int32_t frmr, int x, int y, bool exterior,
                              bool persistentPass);

// Writes one REFR or ACHR in the open group; a door with a destination also
// enters the teleport door table. Returns 0.
int writeReference(Conversion& c, const ConvertedReference& ref);

// Empties the four reference lists.
void clearReferenceLists(Conversion& c);

} // namespace lw::modshift
