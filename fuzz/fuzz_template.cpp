// The template reader over any bytes.
#include "common/console/console.hpp"
#include "meshshift/template/template_reader.hpp"
#include "meshshift/template/template_table.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    lw::Console console = lw::Console::capturing();
    lw::meshshift::TemplateTable templ;
    templ.image.assign(data, data + size);
    lw::meshshift::readTemplate(console, templ);
    return 0;
}
