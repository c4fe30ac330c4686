// Writes the seed corpora of the fuzz targets, made by the fixture builders
// and the demo data generator (nothing binary is stored in the project).
//
//   lw_fuzz_seeds <corpus folder>   ->  <corpus folder>/<target>/seed-N

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "support/bsa_builder.hpp"
#include "support/nif4_builder.hpp"
#include "support/tes3_builder.hpp"
#include "tools/demo/demo_data.hpp"

namespace fs = std::filesystem;
using Seeds = std::map<std::string, std::vector<std::vector<std::uint8_t>>>;

namespace {

std::vector<std::uint8_t> text(std::string_view s)
{
    return std::vector<std::uint8_t>(s.begin(), s.end());
}

std::vector<std::uint8_t> smallPlugin()
{
    lw::test::Tes3Builder b;
    b.header("seed", "a small plugin");
    b.record("STAT").text("NAME", "rock").text("MODL", "r\\rock.nif").end();
    b.record("CELL").text("NAME", "Room").sub("DATA", lw::test::Fields().u32(1).i32(0).i32(0));
    b.u32("FRMR", 1).text("NAME", "rock").sub("DATA", lw::test::Fields().zeros(24));
    b.end();
    return b.bytes();
}

} // namespace

namespace {

// The textured quad below a switch node with a keyframe controller and its
// keys, so the mesh fuzzers start from types read by layout too.
std::vector<std::uint8_t> switchedMesh()
{
    using B = lw::test::Nif4Builder;
    B nif = B::texturedQuad(); // root 0 -> shape 1
    const std::uint32_t none = B::kNone;
    const std::uint32_t sw = static_cast<std::uint32_t>(nif.size());
    B::Bytes node;
    node.str("Switch").u32(none).u32(sw + 1).u16(0);
    for (float v : {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f})
        node.f32(v);
    nif.addRaw("NiSwitchNode", node.links({}).u32(0).links({1, 1}).links({}).u32(1).b);
    nif.addRaw("NiKeyframeController", B::Bytes().u32(none).u16(8).f32(1).f32(0).f32(0).f32(1).u32(sw).u32(sw + 2).b);
    nif.addRaw("NiKeyframeData", B::Bytes().u32(1).u32(1).f32(0).f32(1).f32(0).f32(0).f32(0).u32(0).u32(0).b);
    nif.node(0).children = {sw};
    return nif.build();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: lw_fuzz_seeds <corpus folder>\n");
        return 2;
    }
    Seeds seeds;
    seeds["fuzz_config"] = {text("a=C:\\Morrowind\\Data Files\r\nb=Morrowind.bsa\r\nc=C:\\Oblivion\\Data\r\nd=mw"),
                            text("x= a \ny=b\nz=c\nw=d\n")};
    seeds["fuzz_list_file"] = {text("rock=0x00012345\r\nother rock=0x0001ABCD\n"), text("a=0x0\nb=0x10")};
    seeds["fuzz_heads"] = {text("b_n_nord_m_head_01=nord1.fg\r\nb_n_dark elf_f_head_02=delf2.fg\n")};

    lw::test::BsaBuilder bsa;
    bsa.add("meshes\\a.nif", "mesh").add("textures\\b.dds", "texture").add("icons\\c.dds", "icon");
    seeds["fuzz_bsa"] = {bsa.build()};

    const std::vector<std::uint8_t> demoPlugin = lw::demo::buildDemoPlugin();
    seeds["fuzz_record_tree"] = {smallPlugin(), demoPlugin};
    seeds["fuzz_modshift"] = {smallPlugin(), demoPlugin};

    std::vector<std::vector<std::uint8_t>> meshes{lw::test::Nif4Builder::texturedQuad().build(), switchedMesh()};
    for (const lw::demo::DemoMesh& m : lw::demo::buildDemoMeshes())
        if (meshes.size() < 6)
            meshes.push_back(m.bytes);
    seeds["fuzz_nif4"] = meshes;
    // fuzz_meshshift reads its options from a first byte: layers 1, 2 and 4.
    for (const auto& m : meshes)
        for (int choice : {0, 1, 2}) {
            std::vector<std::uint8_t> seed{static_cast<std::uint8_t>(choice)};
            seed.insert(seed.end(), m.begin(), m.end());
            seeds["fuzz_meshshift"].push_back(std::move(seed));
        }

    std::ifstream templ(LW_BIN_DIR "/bhktemp.nif", std::ios::binary);
    seeds["fuzz_template"] = {std::vector<std::uint8_t>(std::istreambuf_iterator<char>(templ), {})};

    for (const auto& [target, list] : seeds) {
        fs::path folder = fs::path(argv[1]) / target;
        fs::create_directories(folder);
        for (std::size_t i = 0; i < list.size(); ++i) {
            std::ofstream out(folder / ("seed-" + std::to_string(i)), std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(list[i].data()), static_cast<std::streamsize>(list[i].size()));
        }
    }
    return 0;
}
