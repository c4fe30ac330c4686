// Per-type list files ("statics.ini" and the others).
#include "modshift/objects/list_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    lw::modshift::ListTable table;
    if (table.parse(std::span<const std::uint8_t>(data, size)))
        for (const auto& e : table.entries())
            (void)table.lookup(e.identifier);
    return 0;
}
