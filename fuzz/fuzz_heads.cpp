// faces\Heads.ini, the head table.
#include "modshift/characters/faces.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<lw::modshift::HeadEntry> heads;
    lw::modshift::parseHeadTable(std::span<const std::uint8_t>(data, size), heads);
    return 0;
}
