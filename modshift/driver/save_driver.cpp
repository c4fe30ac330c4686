#include <array>
#include <memory>

#include "modshift/driver/conversion.hpp"
#include "modshift/driver/run.hpp"
#include "modshift/driver/save_steps.hpp"

namespace lw::modshift {

namespace {
// A converter finds in the converted-record tables only what earlier steps
// filled, so this order decides which references resolve.
constexpr std::array<SaveStep, 25> kSteps = {{
    {"faces parse", parseFaces},
    {"file header", writeFileHeader},
    {"eyes", saveEyes},
    {"sounds", saveSounds},
    {"regions parse", parseRegions},
    {"cells parse", parseCells},
    {"land textures", saveLandTextures},
    {"activators", saveActivators},
    {"armours", saveArmours},
    {"books", saveBooks},
    {"containers", saveContainers},
    {"doors", saveDoors},
    {"lights", saveLights},
    {"misc items", saveMisc},
    {"statics", saveStatics},
    {"flora", saveFlora},
    {"weapons", saveWeapons},
    {"containers after items", saveContainersAfterItems},
    {"NPCs", saveNpcs},
    {"creatures", saveCreatures},
    {"leveled creatures", saveLeveledCreatures},
    {"regions save", saveRegions},
    {"interior cells", saveInteriorCells},
    {"worldspace", saveWorldspace},
    {"teleport doors", connectTeleportDoors},
}};
} // namespace

std::span<const SaveStep> saveSteps() { return kSteps; }

bool runConverters(Conversion& c, OutputSink* sink, std::size_t blockSize)
{
    c.console.print("saving...\n");
    c.rng.seed();
    c.out.reset();
    c.out.streamTo(sink, blockSize);
    // Held in memory, land makes the output up to about two and a half times
    // the plugin; a buffer that large from the start is never copied while it
    // fills, and pages not yet written cost no memory. Streamed, one block
    // and the record that overflows it are held at a time.
    const std::size_t margin = std::size_t{1} << 20;
    c.out.reserve(sink != nullptr ? blockSize + margin : c.plugin.size() / 2 * 5 + margin);
    c.tables.clearAll();
    c.teleportDoors = 0;
    for (const SaveStep& step : kSteps)
        step.run(c); // a converter that stops early has printed why; the run goes on
    c.out.patchRecordCount();
    return c.out.flush();
}

namespace {

// The output file as the writer's sink.
class FileSink final : public OutputSink {
public:
    explicit FileSink(WritableFile& file) : file_(file) {}
    bool write(std::span<const std::uint8_t> bytes) override { return file_.write(bytes); }
    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override
    {
        return file_.writeAt(offset, bytes);
    }

private:
    WritableFile& file_;
};

// Output handed to the file in blocks of this size: large enough for few
// system calls, small beside the plugin and its tables.
constexpr std::size_t kBlockSize = std::size_t{4} << 20;

} // namespace

int saveDriver(Conversion& c)
{
    // The output is written while it is made, so it never sits in memory
    // beside the whole plugin; when the file cannot be opened that way it is
    // made in memory and its writing fails (or succeeds) as a whole.
    bool written = false;
    if (std::unique_ptr<WritableFile> file = c.platform.openForWriting(c.paths.outputPath)) {
        FileSink sink(*file);
        try {
            const bool streamed = runConverters(c, &sink, kBlockSize);
            written = file->close() && streamed;
        } catch (...) {
            // A run ended by a fault leaves the empty output file of the
            // start-up, not a part of a plugin.
            file.reset();
            c.platform.writeFile(c.paths.outputPath, {});
            throw;
        }
    } else {
        runConverters(c);
        written = c.platform.writeFile(c.paths.outputPath, c.out.bytes());
    }
    c.console.print("%i teleport door\n", c.teleportDoors);
    if (!written) {
        c.console.print("error saving file!\n");
        return -1;
    }
    c.console.print("Save Done.\n");
    return 0;
}

} // namespace lw::modshift
