#pragma once
// Run state of the region parse and save: the region table, in file order.
// The cell parse matches each exterior cell's RGNN against it; the worldspace
// writer reads each written region's form identifier and WNAM position.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace lw::modshift {

struct RegionSound {
    std::uint32_t formId = 0;
    std::int8_t chance = 0; // as read; negative counts as above 100
};

struct Region {
    std::string_view editorId = "0"; // "0" + converted NAME; just "0" without NAME
    bool hasName = false;            // a region without NAME matches no cell
    bool hasDisplayName = false;
    std::string_view displayName;  // FNAM
    std::uint32_t formId = 0;      // once written; 0 for regions not written
    std::array<std::uint8_t, 8> weather{}; // clear, cloudy, foggy, overcast, rain, thunder, ash, blight
    std::uint32_t mapColour = 0;   // CNAM
    std::vector<RegionSound> sounds; // at most kSoundCapacity
    std::size_t wnamPosition = 0;  // output offset of the WNAM value; 0: not written
};

struct RegionState {
    static constexpr std::size_t kCapacity = 30;
    static constexpr std::size_t kSoundCapacity = 49;
    static constexpr std::size_t kOutlineCapacity = 100;

    std::vector<Region> regions;

    // Index of the first region whose converted name (EditorID without its
    // "0") equals `converted` exactly; -1 when none.
    std::int32_t indexOf(std::string_view converted) const
    {
        for (std::size_t i = 0; i < regions.size(); ++i) {
            std::string_view id = regions[i].editorId;
            if (regions[i].hasName && !id.empty() && id.substr(1) == converted)
                return static_cast<std::int32_t>(i);
        }
        return -1;
    }
};

} // namespace lw::modshift
