#pragma once
// A meshshift job for collision tests: the shipped template read by the real
// template reader, a source mesh from the NIF 4.0.0.2 builder, and the written
// result parsed by the independent NIF 20.0.0.5 reader.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "common/console/console.hpp"
#include "common/platform/platform.hpp"
#include "meshshift/collision/collision.hpp"
#include "meshshift/driver/mesh_job.hpp"
#include "meshshift/nif20/nif_writer.hpp"
#include "meshshift/nif4/nif4_reader.hpp"
#include "meshshift/template/template_reader.hpp"
#include "support/nif20_reader.hpp"
#include "support/nif4_builder.hpp"
#include "../meshshift/test_template.hpp"

namespace lw::meshshift::collision::test {

using lw::test::Nif20Block;
using lw::test::Nif20File;
using lw::test::Nif4Builder;

struct CollisionFixture {
    Console console = Console::capturing("xxxxxxxx");
    std::unique_ptr<Platform> platform = makeSystemPlatform();
    MeshJob job{console, *platform};

    CollisionFixture()
    {
        job.templ.image = meshshift::testing::buildTestTemplate();
        EXPECT_EQ(readTemplate(console, job.templ), 0) << console.captured();
    }

    // True when the reader took the mesh.
    bool load(const Nif4Builder& nif)
    {
        job.sourceImage = nif.build();
        return readSourceMesh(job) == 0;
    }

    // Runs the collision step and writes the scene; the written file, parsed.
    Nif20File convert()
    {
        EXPECT_EQ(buildCollision(job), 0) << console.captured();
        std::vector<std::uint8_t> bytes;
        EXPECT_EQ(writeScene(job, bytes), 0) << console.captured();
        Nif20File file = lw::test::readNif20(bytes);
        EXPECT_TRUE(file.complete) << file.error;
        return file;
    }
};

} // namespace lw::meshshift::collision::test
