#pragma once
// Fixed mappings of the NPC converter onto records of "Oblivion.esm": classes,
// races with what follows from the race (skeleton, hair, eyes, hair colour,
// FaceGen race file), factions and packages.

#include <array>
#include <cstdint>
#include <string_view>

namespace lw::modshift::npc {

inline constexpr std::uint32_t kDefaultRace = 0x00038010;
inline constexpr std::uint32_t kDefaultClass = 0x00023C0D;
inline constexpr std::uint32_t kGivenItem = 0x000352BA; // every NPC carries one
inline constexpr std::uint32_t kWanderFar = 0x000983B1;  // wander distance 1000 or more
inline constexpr std::uint32_t kWanderNear = 0x0002251B; // wander distance 1 to 999
inline constexpr std::uint32_t kServices = 0x00009D8E;   // any service offered
inline constexpr std::uint32_t kMagesGuild = 0x00022296;
inline constexpr std::uint32_t kFightersGuild = 0x0002228F;
inline constexpr std::uint32_t kServiceMask = 0x00037FFF;
inline constexpr std::uint32_t kHairColourDefault = 0x0005213D;
inline constexpr std::uint32_t kHairColourNord = 0x00337484;

inline constexpr std::string_view kSkeleton = "Characters\\_Male\\skeleton.nif";
inline constexpr std::string_view kBeastSkeleton = "Characters\\_Male\\SkeletonBeast.nif";

struct ClassRow {
    std::string_view name;
    std::uint32_t formId;
};
inline constexpr std::array<ClassRow, 13> kClasses{{
    {"Smith", 0x0001C823},
    {"Alchemist Service", 0x00023C09},
    {"Apothecary Service", 0x00023C09},
    {"Bookseller", 0x00023C0A},
    {"Clothier", 0x00024162},
    {"Enchanter Service", 0x00023E5F},
    {"Healer", 0x00023C09},
    {"Mage Service", 0x00023E5F},
    {"Merchant", 0x00023E61},
    {"Monk Service", 0x000237A9},
    {"Pawnbroker", 0x00023E69},
    {"Sorcerer Service", 0x0000CF06},
    {"Trader Service", 0x00024163},
}};

// An eyes choice: a fixed master record, or one of this plugin's own eyes
// records, whose form identifiers are known only at run time.
enum class Eye : std::uint8_t { Fixed, Khajiit1, Black, Grey };
struct EyeChoice {
    Eye kind = Eye::Fixed;
    std::uint32_t formId = 0;
};
constexpr EyeChoice fixedEye(std::uint32_t id) { return {Eye::Fixed, id}; }
inline constexpr EyeChoice kEyeKhajiit1{Eye::Khajiit1, 0};
inline constexpr EyeChoice kEyeBlack{Eye::Black, 0};
inline constexpr EyeChoice kEyeGrey{Eye::Grey, 0};

struct RaceRow {
    std::string_view name;   // RNAM text; empty for the row of any other race
    std::uint32_t formId;
    bool beast;
    std::uint32_t hairMale;
    std::uint32_t hairFemale;
    std::uint8_t eyeCount;   // 1: fixed; more: drawn from the generator
    std::array<EyeChoice, 3> eyes;
    std::uint32_t hairColour;
    std::string_view faceGenRace;
};

inline constexpr std::array<RaceRow, 11> kRaces{{
    {"Argonian", 0x00023FE9, true, 0x00064F34, 0x00064F32, 1, {fixedEye(0x0003E91E)},
     kHairColourDefault, "Imperial.fgs"},
    {"Breton", 0x000224FC, false, 0x0018A891, 0x00069472, 3,
     {fixedEye(0x00027308), fixedEye(0x00027309), fixedEye(0x00027306)}, kHairColourDefault,
     "Breton.fgs"},
    {"Dark Elf", 0x000191C1, false, 0x0018A891, 0x0001DA82, 1, {fixedEye(0x00027307)},
     kHairColourDefault, "DarkElf.fgs"},
    {"High Elf", 0x00019204, false, 0x0018A891, 0x00090475, 3,
     {fixedEye(0x00027308), fixedEye(0x00027309), fixedEye(0x00027306)}, kHairColourDefault,
     "HighElf.fgs"},
    {"Imperial", 0x00000907, false, 0x0018A891, 0x000950EB, 3,
     {fixedEye(0x00027309), fixedEye(0x00027306), kEyeBlack}, kHairColourDefault, "Imperial.fgs"},
    {"Khajiit", 0x000223C7, true, 0x000653D4, 0x000C4820, 2, {fixedEye(0x000375C8), kEyeKhajiit1},
     kHairColourDefault, "Imperial.fgs"},
    {"Nord", 0x000224FD, false, 0x0018A891, 0x0002C4D0, 2, {kEyeGrey, fixedEye(0x00027308)},
     kHairColourNord, "Nord.fgs"},
    {"Orc", 0x000191C0, false, 0x0018A891, 0x00066A2A, 1, {fixedEye(0x0002730A)},
     kHairColourDefault, "Imperial.fgs"},
    {"Redguard", 0x00000D43, false, 0x0018A891, 0x00064210, 2, {fixedEye(0x00027306), kEyeBlack},
     kHairColourDefault, "Redguard.fgs"},
    {"Wood Elf", 0x000223C8, false, 0x0018A891, 0x00069473, 2, {fixedEye(0x00027306), kEyeBlack},
     kHairColourDefault, "WoodElf.fgs"},
    {"", kDefaultRace, false, 0x0018A891, 0x0018A891, 1, {fixedEye(0x00027306)},
     kHairColourDefault, "Imperial.fgs"},
}};

// Target skill position -> offset of the source skill byte in the 52-byte
// NPDT. Blade (position 2) also looks at Short Blade, see kShortBladeOffset.
inline constexpr std::array<std::uint8_t, 21> kSkillSource{
    11, 18, 15, 10, 16, 36, 13, 26, 21, 23, 20, 22, 24, 25, 30, 31, 33, 34, 28, 29, 35};
inline constexpr std::size_t kBladePosition = 2;
inline constexpr std::size_t kShortBladeOffset = 32;

} // namespace lw::modshift::npc
