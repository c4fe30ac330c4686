// The strips collision mesh of static objects: the NiTriShapes below the
// collision sources, merged into one vertex array in the root's space and one
// triangle strip, written into the template's NiTriStripsData.
#include <vector>

#include "common/console/console.hpp"
#include "meshshift/collision/collision_step.hpp"
#include "meshshift/driver/mesh_job.hpp"

namespace lw::meshshift::collision {

int fillStripsData(MeshJob& job, const std::vector<Link>& sources, NiTriStripsData& data, StripBuilder& builder)
{
    Console& console = job.console;
    const BlockTable& blocks = job.blocks;
    builder.reset();
    data.numVertices = 0;
    data.numTriangles = 0;
    // Without any NiTriShape the block stays an empty, consistent strip.
    data.hasVertices = 0;
    data.hasNormals = 0;

    std::vector<PlacedShape> shapes;
    for (Link source : sources)
        for (PlacedShape& placed : shapesUnder(blocks, source))
            shapes.push_back(std::move(placed));

    std::vector<float> vertices;
    std::vector<float> normals;
    std::vector<Vec3> positions;
    std::vector<StripTriangle> triangles;
    std::uint32_t total = 0;

    for (const PlacedShape& placed : shapes) {
        const NiTriShape* shape = blocks.as<NiTriShape>(placed.shape);
        const NiTriShapeData* d = shape ? blocks.as<NiTriShapeData>(shape->data) : nullptr;
        if (!d)
            continue; // a shape without geometry adds nothing
        const std::uint32_t n = d->numVertices;
        const std::size_t t = d->numTriangles;
        if (builder.checkShape(n, t, console) < 0)
            return -1;
        // The reader sizes every array by its count; a record that disagrees
        // was not read from a mesh and is refused rather than read past.
        if ((d->hasVertices && d->vertices.size() < std::size_t{12} * n) ||
            (d->hasNormals && d->normals.size() < std::size_t{12} * n) || d->triangles.size() < 6 * t) {
            console.print("damaged shape data!\n");
            return -1;
        }

        positions.clear();
        if (d->hasVertices)
            for (std::uint32_t i = 0; i < n; ++i)
                positions.push_back(d->vertex(i));
        triangles.resize(t);
        for (std::size_t i = 0; i < t; ++i)
            triangles[i] = d->triangle(i);
        if (builder.addShape(n, positions, triangles, console) < 0)
            return -1;
        if (!builder.points().empty())
            data.numTriangles = static_cast<std::uint16_t>(builder.points().size() - 2);

        const std::uint32_t base = total;
        total += n;
        data.numVertices = static_cast<std::uint16_t>(total);
        vertices.resize(3 * std::size_t{total}, 0.0f);
        normals.resize(3 * std::size_t{total}, 0.0f);

        data.hasVertices = d->hasVertices ? 1 : 0;
        if (d->hasVertices)
            for (std::uint32_t i = 0; i < n; ++i) {
                Vec3 w = placed.apply(positions[i]);
                for (std::size_t k = 0; k < 3; ++k)
                    vertices[3 * (base + i) + k] = w[k];
            }
        data.hasNormals = d->hasNormals ? 1 : 0;
        if (d->hasNormals)
            for (std::uint32_t i = 0; i < n; ++i) {
                Vec3 w = placed.rotate(d->normal(i));
                for (std::size_t k = 0; k < 3; ++k)
                    normals[3 * (base + i) + k] = w[k];
            }
        data.centre = placed.apply(d->centre);
        data.radius = d->radius * placed.scale();
    }

    // The arrays must agree with the counts and flags the block is written by.
    const std::size_t n = data.numVertices;
    data.vertices = data.hasVertices ? std::move(vertices) : std::vector<float>{};
    data.normals = data.hasNormals ? std::move(normals) : std::vector<float>{};
    const bool tangentsPresent = data.hasNormals && (data.tangentSpace & 0x10);
    data.tangents.assign(tangentsPresent ? 3 * n : 0, 0.0f);
    data.bitangents.assign(tangentsPresent ? 3 * n : 0, 0.0f);
    data.hasColors = 0;
    data.colors.clear();
    // Collision needs no texture coordinates; a template that declares UV
    // sets gets zeros for every vertex.
    data.uvs.assign(2 * data.uvSetCount() * n, 0.0f);
    data.stripLengths.assign(1, static_cast<std::uint16_t>(builder.points().size()));
    data.hasPoints = 1;
    data.points.assign(builder.points().begin(), builder.points().end());
    return 1;
}

} // namespace lw::meshshift::collision
