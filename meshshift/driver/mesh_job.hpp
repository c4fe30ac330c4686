#pragma once
// The run context of one meshshift run: options, paths, configuration, the
// template, the loaded source mesh and its block table, the output numbering,
// and the console, platform and archive every step works through. Steps are
// functions of a MeshJob, so a test can build one, run a step and look at it.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/config/config.hpp"
#include "meshshift/nif20/block_model.hpp"
#include "meshshift/template/template_table.hpp"
#include "meshshift/textures/embedded_texture.hpp"

namespace lw {
class Console;
class Platform;
class BsaArchive;
} // namespace lw

namespace lw::meshshift {

// Command-line options; set once before anything else.
struct MeshOptions {
    bool noCollision = false;       // -c: no collision object, rigid body or shape
    std::string destination;        // -d: output path given by the caller
    bool wholeScene = false;        // -f: collision from the scene even with a RootCollisionNode
    bool alternativeExtra = false;  // -h: template block 6 instead of BSXFlags and layer extra data
    std::int32_t layer = 1;         // -l
    std::int32_t material = 0;      // -m
    std::int32_t quality = 1;       // -q
    std::int32_t motionSystem = 7;  // -s
};

struct MeshJob {
    MeshJob(Console& c, Platform& p) : console(c), platform(p) {}
    MeshJob(const MeshJob&) = delete;
    MeshJob& operator=(const MeshJob&) = delete;

    Console& console;
    Platform& platform;
    BsaArchive* archive = nullptr; // none: every archive lookup finds nothing

    MeshOptions options;
    std::string programFolder;       // with its trailing separator, or empty
    std::string meshName;            // as given; then where the source was found
    std::string outputPath;
    std::string templateTexturePath; // program folder + "template_n.dds"
    Config config;

    TemplateTable templ;

    std::vector<std::uint8_t> sourceImage; // the whole source mesh; records point into it
    std::deque<BlockRecord> records;       // source records and records built by later steps
    BlockTable blocks;
    std::size_t objectNetCount = 0;        // extra-data lists handed out while reading
    EmbeddedTextures embedded;             // pixel data and palettes, kept out of the block table

    OutputNumbering numbering;             // filled by the collision step

    std::deque<std::string> strings;       // texts built during the run (stable addresses)

    // Keeps a record for the run and returns its stable address.
    BlockRecord* keepRecord(BlockRecord record)
    {
        records.push_back(std::move(record));
        return &records.back();
    }
    // Keeps a text for the run and returns a view of it.
    std::string_view keepString(std::string text)
    {
        strings.push_back(std::move(text));
        return strings.back();
    }
};

} // namespace lw::meshshift
