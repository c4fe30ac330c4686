#pragma once
// A meshshift job: data folders <dir>/mw and <dir>/ob, asset subfolder "conv", template
// texture <dir>/template_n.dds (not created), the shipped template mesh, results read back.
#include <gtest/gtest.h>

#include "common/console/console.hpp"
#include "common/platform/platform.hpp"
#include "meshshift/collision/collision.hpp"
#include "meshshift/collision/template_content.hpp"
#include "meshshift/driver/mesh_job.hpp"
#include "meshshift/nif20/nif_writer.hpp"
#include "meshshift/nif4/nif4_reader.hpp"
#include "meshshift/template/template_reader.hpp"
#include "support/nif20_reader.hpp"
#include "support/nif4_builder.hpp"
#include "support/temp_dir.hpp"

namespace lw::meshshift::testing {

using test::Nif20Block;
using test::Nif20File;
using test::Nif4Builder;

struct JobFixture {
    test::TempDir dir{"lw-meshshift"};
    Console console = Console::capturing("xxxxxxxx");
    std::unique_ptr<Platform> platform = makeSystemPlatform();
    MeshJob job{console, *platform};

    JobFixture()
    {
        job.config.sourceData = dir.str() + "/mw";
        job.config.targetData = dir.str() + "/ob";
        job.config.assetSubfolder = "conv";
        job.templateTexturePath = dir.str() + "/template_n.dds";
        MeshJob shipped(console, *platform);
        collision::buildShippedTemplate(shipped);
        EXPECT_EQ(writeScene(shipped, job.templ.image), 0);
        EXPECT_EQ(readTemplate(console, job.templ), 0) << console.captured();
    }

    bool load(const Nif4Builder& nif)
    {
        job.sourceImage = nif.build();
        return readSourceMesh(job) == 0;
    }

    // Runs the collision step when asked and writes the loaded scene; the written file, parsed.
    Nif20File convert(bool collision = true)
    {
        if (collision) {
            EXPECT_EQ(buildCollision(job), 0) << console.captured();
        }
        std::vector<std::uint8_t> bytes;
        EXPECT_EQ(writeScene(job, bytes), 0) << console.captured();
        Nif20File file = test::readNif20(bytes);
        EXPECT_TRUE(file.complete) << file.error;
        return file;
    }
};

} // namespace lw::meshshift::testing
