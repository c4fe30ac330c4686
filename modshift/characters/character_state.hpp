#pragma once
// Run state of the character converters: the head table read from
// "faces\Heads.ini", the form identifiers of the eyes records this run writes,
// and the FaceGen data files read so far (each file is read once per run).

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lw::modshift {

struct HeadEntry {
    std::string head;     // Morrowind head body part identifier, compared exactly
    std::string faceFile; // file name inside the "faces\" folder
};

struct CharacterState {
    static constexpr std::size_t kHeadCapacity = 256;
    static constexpr std::size_t kHeadsFileLimit = 10000;

    std::vector<HeadEntry> heads;

    // Form identifiers of the eyes records; 0 until the eyes group is written.
    std::uint32_t eyeKhajiit1 = 0;
    std::uint32_t eyeBlack = 0;
    std::uint32_t eyeGrey = 0;

    // Files of the "faces\" folder by name; nothing for a file that could not be read.
    std::map<std::string, std::optional<std::vector<std::uint8_t>>> faceFiles;
};

} // namespace lw::modshift
