// Meshes of the demo data set: boxes, a blade, crossed leaves and a pyramid
// roof, each a NiNode scene with one textured NiTriShape, in NIF 4.0.0.2.

#include <array>
#include <cmath>

#include "demo_data.hpp"
#include "support/nif4_builder.hpp"

namespace lw::demo {

namespace {

using test::Nif4Builder;
using Vec3 = Nif4Builder::Vec3;
using Data = Nif4Builder::TriShapeData;

void addQuad(Data& d, Vec3 a, Vec3 b, Vec3 c, Vec3 e, Vec3 normal)
{
    auto base = static_cast<std::uint16_t>(d.vertices.size());
    for (const Vec3& v : {a, b, c, e}) {
        d.vertices.push_back(v);
        d.normals.push_back(normal);
    }
    d.uvSets[0].push_back({0, 0});
    d.uvSets[0].push_back({1, 0});
    d.uvSets[0].push_back({1, 1});
    d.uvSets[0].push_back({0, 1});
    d.triangles.push_back({base, static_cast<std::uint16_t>(base + 1), static_cast<std::uint16_t>(base + 2)});
    d.triangles.push_back({base, static_cast<std::uint16_t>(base + 2), static_cast<std::uint16_t>(base + 3)});
}

void finish(Data& d)
{
    float r = 0;
    for (const Vec3& v : d.vertices)
        r = std::max(r, std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
    d.radius = r;
}

// A box of half sizes (x, y) standing on z = 0, height h.
Data box(float x, float y, float h)
{
    Data d;
    d.uvSets.resize(1);
    addQuad(d, {-x, -y, h}, {x, -y, h}, {x, y, h}, {-x, y, h}, {0, 0, 1});      // top
    addQuad(d, {-x, y, 0}, {x, y, 0}, {x, -y, 0}, {-x, -y, 0}, {0, 0, -1});     // bottom
    addQuad(d, {-x, -y, 0}, {x, -y, 0}, {x, -y, h}, {-x, -y, h}, {0, -1, 0});   // south
    addQuad(d, {x, y, 0}, {-x, y, 0}, {-x, y, h}, {x, y, h}, {0, 1, 0});        // north
    addQuad(d, {x, -y, 0}, {x, y, 0}, {x, y, h}, {x, -y, h}, {1, 0, 0});        // east
    addQuad(d, {-x, y, 0}, {-x, -y, 0}, {-x, -y, h}, {-x, y, h}, {-1, 0, 0});   // west
    finish(d);
    return d;
}

// Two crossed upright quads, like a plant.
Data leaves(float size)
{
    Data d;
    d.uvSets.resize(1);
    addQuad(d, {-size, 0, 0}, {size, 0, 0}, {size, 0, 2 * size}, {-size, 0, 2 * size}, {0, -1, 0});
    addQuad(d, {0, -size, 0}, {0, size, 0}, {0, size, 2 * size}, {0, -size, 2 * size}, {1, 0, 0});
    finish(d);
    return d;
}

// A box with a pyramid roof.
Data house(float half, float wall, float roof)
{
    Data d = box(half, half, wall);
    auto top = static_cast<std::uint16_t>(d.vertices.size());
    d.vertices.push_back({0, 0, wall + roof});
    d.normals.push_back({0, 0, 1});
    d.uvSets[0].push_back({0.5f, 0.5f});
    const std::array<Vec3, 4> eaves{{{-half, -half, wall}, {half, -half, wall}, {half, half, wall}, {-half, half, wall}}};
    for (std::uint16_t i = 0; i < 4; ++i) {
        d.vertices.push_back(eaves[i]);
        d.normals.push_back({eaves[i][0] / half, eaves[i][1] / half, 1});
        d.uvSets[0].push_back({static_cast<float>(i % 2), static_cast<float>(i / 2)});
    }
    for (std::uint16_t i = 0; i < 4; ++i)
        d.triangles.push_back({static_cast<std::uint16_t>(top + 1 + i),
                               static_cast<std::uint16_t>(top + 1 + (i + 1) % 4), top});
    finish(d);
    return d;
}

std::vector<std::uint8_t> scene(const std::string& name, Data data, const std::string& texture)
{
    Nif4Builder nif;
    std::uint32_t root = nif.add(Nif4Builder::named<Nif4Builder::Node>(name));
    std::uint32_t shape = nif.add(Nif4Builder::named<Nif4Builder::TriShape>(name + " shape"));
    std::uint32_t shapeData = nif.add(std::move(data));
    Nif4Builder::TexturingProperty texturing;
    texturing.slots[0] = Nif4Builder::TextureDesc{};
    std::uint32_t texturingIndex = nif.add(texturing);
    Nif4Builder::SourceTexture source;
    source.fileName = texture;
    std::uint32_t sourceIndex = nif.add(source);
    std::uint32_t material = nif.add(Nif4Builder::MaterialProperty{});
    nif.node(root).children = {shape};
    nif.triShape(shape).data = shapeData;
    nif.triShape(shape).properties = {texturingIndex, material};
    std::get<Nif4Builder::TexturingProperty>(nif.block(texturingIndex)).slots[0]->source = sourceIndex;
    return nif.build();
}

} // namespace

std::vector<DemoMesh> buildDemoMeshes()
{
    std::vector<DemoMesh> meshes;
    auto add = [&](std::string path, std::string name, Data data, std::string texture, bool archived = false) {
        meshes.push_back({std::move(path), scene(name, std::move(data), std::move(texture)), archived});
    };
    add("demo\\rock.nif", "Rock", box(60, 45, 50), "textures\\demo_rock.tga");
    add("demo\\house.nif", "House", house(400, 300, 200), "demo_wood.tga", true);
    add("demo\\bench.nif", "Bench", box(80, 25, 40), "demo_wood.tga");
    add("demo\\bed.nif", "Bed", box(100, 50, 45), "demo_cloth.tga");
    add("demo\\lever.nif", "Lever", box(8, 8, 60), "demo_metal.tga");
    add("demo\\door.nif", "Door", box(60, 8, 200), "demo_wood.tga", true);
    add("demo\\chest.nif", "Chest", box(50, 30, 40), "demo_wood.tga");
    add("demo\\fern.nif", "Fern", leaves(30), "demo_leaf.tga");
    add("demo\\lantern.nif", "Lantern", box(10, 10, 25), "demo_metal.tga");
    add("demo\\cup.nif", "Cup", box(5, 5, 10), "demo_metal.tga");
    add("demo\\book.nif", "Book", box(12, 16, 4), "demo_cloth.tga");
    add("demo\\scroll.nif", "Scroll", box(4, 14, 4), "demo_cloth.tga");
    add("demo\\sword.nif", "Sword", box(3, 1, 90), "demo_metal.tga");
    return meshes;
}

} // namespace lw::demo
