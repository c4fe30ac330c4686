// The TES3 record tree over any bytes.
#include "common/console/console.hpp"
#include "modshift/tes3/record_tree.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> image(data, data + size);
    lw::Console console = lw::Console::capturing();
    lw::modshift::RecordTree tree;
    if (lw::modshift::parseRecordTree(image, tree, console) == 0)
        for (std::int32_t i = 0; i < tree.count(); ++i)
            (void)tree.text(i);
    return 0;
}
