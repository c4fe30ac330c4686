// Writes the template mesh "bhktemp.nif" (see meshshift/collision/template_content.hpp).
//   gen_template <output file>
#include <memory>
#include <vector>

#include "common/console/console.hpp"
#include "common/platform/platform.hpp"
#include "meshshift/collision/template_content.hpp"
#include "meshshift/driver/mesh_job.hpp"
#include "meshshift/nif20/nif_writer.hpp"

int main(int argc, char** argv)
{
    lw::Console console;
    if (argc != 2) {
        console.print("usage: gen_template <output file>\n");
        return 2;
    }
    std::unique_ptr<lw::Platform> platform = lw::makeSystemPlatform();
    lw::meshshift::MeshJob job(console, *platform);
    lw::meshshift::collision::buildShippedTemplate(job);
    std::vector<std::uint8_t> bytes;
    if (lw::meshshift::writeScene(job, bytes) != 0) {
        console.print("gen_template: the template could not be written\n");
        return 1;
    }
    if (!platform->writeFile(argv[1], bytes)) {
        console.print("gen_template: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
