#pragma once
// A MeshJob with a captured console and the system platform, and the steps of
// a conversion as one-liners, for the meshshift unit tests.

#include <memory>
#include <vector>

#include "common/console/console.hpp"
#include "common/platform/platform.hpp"
#include "meshshift/driver/mesh_job.hpp"
#include "meshshift/nif20/nif_writer.hpp"
#include "meshshift/nif4/nif4_reader.hpp"
#include "support/nif20_reader.hpp"
#include "support/nif4_builder.hpp"
#include "support/temp_dir.hpp"

namespace lw::meshshift::testing {

// The data folders lie in a temporary folder, so texture copies stay inside it:
// <dir>/mw (source data), <dir>/ob (target data), asset subfolder "conv",
// template texture <dir>/template_n.dds (not created).
struct JobFixture {
    test::TempDir dir{"lw-meshshift"};
    Console console = Console::capturing();
    std::unique_ptr<Platform> platform = makeSystemPlatform();
    MeshJob job{console, *platform};

    JobFixture()
    {
        job.config.sourceData = dir.str() + "/mw";
        job.config.targetData = dir.str() + "/ob";
        job.config.assetSubfolder = "conv";
        job.templateTexturePath = dir.str() + "/template_n.dds";
    }

    // Loads `bytes` as the source mesh and reads it; the reader's result.
    int read(std::vector<std::uint8_t> bytes)
    {
        job.sourceImage = std::move(bytes);
        return readSourceMesh(job);
    }
    int read(const test::Nif4Builder& nif) { return read(nif.build()); }

    // Writes the block table; empty when the writer failed.
    std::vector<std::uint8_t> write()
    {
        std::vector<std::uint8_t> out;
        if (writeScene(job, out) != 0)
            out.clear();
        return out;
    }

    // Reads and writes a mesh, then reads the result back independently.
    test::Nif20File convert(const test::Nif4Builder& nif)
    {
        if (read(nif) != 0)
            return {};
        return test::readNif20(write());
    }
};

} // namespace lw::meshshift::testing
