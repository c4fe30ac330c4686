#pragma once
// The armour pieces this program carries ready-made Oblivion meshes and icons
// for. Mesh paths are relative to "Meshes\Armor\", icons to
// "Textures\Menus\Icons\Armor\", both in the program folder and in the
// Oblivion data folder.

#include <array>
#include <cstdint>
#include <string_view>

namespace lw::modshift {

struct ArmourReplacement {
    std::string_view identifier; // TES3 NAME, compared exactly
    // male body, male ground, female body, female ground (MODL, MOD2, MOD3, MOD4)
    std::array<std::string_view, 4> models;
    std::string_view icon;
    std::uint32_t bipedFlags;
};

inline constexpr std::array<ArmourReplacement, 12> kArmourReplacements{{
    {"bonemold_chuzei_helm",
     {"BrannocsArmor\\bonemold\\chuzei.nif", "BrannocsArmor\\bonemold\\chuzei_gnd.nif",
      "BrannocsArmor\\bonemold\\chuzei.nif", "BrannocsArmor\\bonemold\\chuzei_gnd.nif"},
     "BrannocsArmor\\bonemold\\chuzei.dds", 0x00000002},
    {"bonemold_gah-julan_helm",
     {"BrannocsArmor\\bonemold\\helmet.nif", "BrannocsArmor\\bonemold\\helmet_gnd.nif",
      "BrannocsArmor\\bonemold\\helmet.nif", "BrannocsArmor\\bonemold\\helmet_gnd.nif"},
     "BrannocsArmor\\bonemold\\helmet.dds", 0x00000002},
    {"bonemold_gah-julan_cuirass",
     {"BrannocsArmor\\bonemold\\m\\cuirass.nif", "BrannocsArmor\\bonemold\\m\\cuirass_gnd.nif",
      "BrannocsArmor\\bonemold\\f\\cuirass.nif", "BrannocsArmor\\bonemold\\m\\cuirass_gnd.nif"},
     "BrannocsArmor\\bonemold\\cuirass.dds", 0x00020004},
    {"bonemold_gah-julan_greaves",
     {"BrannocsArmor\\bonemold\\m\\greaves.nif", "BrannocsArmor\\bonemold\\m\\greaves_gnd.nif",
      "BrannocsArmor\\bonemold\\f\\greaves.nif", "BrannocsArmor\\bonemold\\m\\greaves_gnd.nif"},
     "BrannocsArmor\\bonemold\\greaves.dds", 0x00000008},
    {"bonemold_armun-an_helm",
     {"BrannocsArmor\\bonemold\\chuzei.nif", "BrannocsArmor\\bonemold\\chuzei_gnd.nif",
      "BrannocsArmor\\bonemold\\chuzei.nif", "BrannocsArmor\\bonemold\\chuzei_gnd.nif"},
     "BrannocsArmor\\bonemold\\chuzei.dds", 0x00000002},
    {"bonemold_armun-an_cuirass",
     {"BrannocsArmor\\bonemold\\m\\cuirassspiked.nif", "BrannocsArmor\\bonemold\\m\\cuirass_gnd.nif",
      "BrannocsArmor\\bonemold\\f\\cuirassspiked.nif", "BrannocsArmor\\bonemold\\m\\cuirass_gnd.nif"},
     "BrannocsArmor\\bonemold\\cuirass.dds", 0x00020004},
    {"bonemold_bracer_right",
     {"BrannocsArmor\\bonemold\\m\\gauntlets.nif", "BrannocsArmor\\bonemold\\m\\gauntlets_gnd.nif",
      "BrannocsArmor\\bonemold\\f\\bracer.nif", "BrannocsArmor\\bonemold\\m\\gauntlets_gnd.nif"},
     "BrannocsArmor\\bonemold\\gauntlets.dds", 0x00000010},
    {"bonemold_greaves",
     {"BrannocsArmor\\bonemold\\m\\greaves.nif", "BrannocsArmor\\bonemold\\m\\greaves_gnd.nif",
      "BrannocsArmor\\bonemold\\f\\greaves.nif", "BrannocsArmor\\bonemold\\m\\greaves_gnd.nif"},
     "BrannocsArmor\\bonemold\\greaves.dds", 0x00000008},
    {"bonemold_boots",
     {"BrannocsArmor\\bonemold\\m\\boots.nif", "BrannocsArmor\\bonemold\\m\\boots_gnd.nif",
      "BrannocsArmor\\bonemold\\m\\boots.nif", "BrannocsArmor\\bonemold\\m\\boots_gnd.nif"},
     "BrannocsArmor\\bonemold\\boots.dds", 0x00000020},
    {"dreugh_helm",
     {"BrannocsArmor\\dreugh\\helmet.nif", "BrannocsArmor\\dreugh\\helmet_gnd.nif",
      "BrannocsArmor\\dreugh\\helmet.nif", "BrannocsArmor\\dreugh\\helmet_gnd.nif"},
     "BrannocsArmor\\dreugh\\helmet.dds", 0x00000002},
    {"dreugh_cuirass",
     {"BrannocsArmor\\dreugh\\m\\cuirass.nif", "BrannocsArmor\\dreugh\\m\\cuirass_gnd.nif",
      "BrannocsArmor\\dreugh\\f\\cuirass.nif", "BrannocsArmor\\dreugh\\m\\cuirass_gnd.nif"},
     "BrannocsArmor\\dreugh\\cuirass.dds", 0x00020004},
    {"dreugh_shield",
     {"BrannocsArmor\\dreugh\\shield.nif", "BrannocsArmor\\dreugh\\shield_gnd.nif",
      "BrannocsArmor\\dreugh\\shield.nif", "BrannocsArmor\\dreugh\\shield_gnd.nif"},
     "BrannocsArmor\\dreugh\\shield.dds", 0x00002000},
}};

// The row for a TES3 armour identifier (exact match; the last equal row wins),
// or nothing.
inline const ArmourReplacement* findArmourReplacement(std::string_view identifier)
{
    const ArmourReplacement* found = nullptr;
    for (const ArmourReplacement& row : kArmourReplacements)
        if (row.identifier == identifier)
            found = &row;
    return found;
}

} // namespace lw::modshift
