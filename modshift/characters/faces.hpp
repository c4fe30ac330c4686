#pragma once
// FaceGen faces for converted NPCs and the eyes records the NPCs may use.
//
// "faces\Heads.ini" maps a Morrowind head (an NPC's BNAM) to a face file:
//     head identifier=face file name
// Bytes below 0x20 and from 0x80 up separate lines. The identifier is
// everything up to the first "=" (blanks included), the file name everything
// after it up to the next separator byte.
//
// A face file ("*.fg") holds a 40-byte header, then signed 16-bit values, each
// the coefficient times 1000: 50 symmetric geometry, 30 asymmetric geometry,
// 50 symmetric texture values. A race file ("*.fgs") holds from its first byte
// 50 + 30 float32: the race's own geometry, subtracted from the face's.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "modshift/characters/character_state.hpp"

namespace lw::modshift {

struct Conversion;
class SubrecordBuffer;

constexpr std::size_t kFaceGeometrySymmetric = 50;
constexpr std::size_t kFaceGeometryAsymmetric = 30;
constexpr std::size_t kFaceTextureSymmetric = 50;
constexpr std::size_t kFaceHeaderSize = 40;

// Parses the text of "Heads.ini" into `out` (at most kHeadCapacity entries; a
// line without "=" is no entry). Returns the number of lines that were entries,
// including those beyond the capacity, so the caller can report them.
std::size_t parseHeadTable(std::span<const std::uint8_t> text, std::vector<HeadEntry>& out);

// The face file for a head: the first entry whose identifier equals it
// exactly, otherwise "zero.fg".
std::string_view faceFileFor(const std::vector<HeadEntry>& heads, std::string_view head);

struct FaceGenValues {
    std::array<float, kFaceGeometrySymmetric> symmetric{};
    std::array<float, kFaceGeometryAsymmetric> asymmetric{};
    std::array<float, kFaceTextureSymmetric> texture{};
};

// Combines a face file and a race file (either may be missing). Each value is
// computed in double precision and rounded once to float32. A value that
// cannot be read (short file) repeats the previous one of the same file.
FaceGenValues computeFaceGen(const std::vector<std::uint8_t>* face,
                             const std::vector<std::uint8_t>* race);

// Appends FGGS, FGGA, FGTS and FNAM for the head to `out`, reading the race
// file and the head's face file from the program's "faces\" folder. `head` is
// nothing for an NPC without a head, which gets "zero.fg".
void writeFaceGen(Conversion& c, SubrecordBuffer& out, std::string_view raceFile,
                  std::optional<std::string_view> head);

} // namespace lw::modshift
