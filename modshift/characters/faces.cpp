// The head table, the FaceGen writer and the eyes records.
#include "modshift/characters/faces.hpp"

#include <string>

#include "common/fs/folders.hpp"
#include "common/io/byte_cursor.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/driver/save_steps.hpp"

namespace lw::modshift {

namespace {

bool isLineSeparator(std::uint8_t b)
{
    return b < 0x20 || b >= 0x80;
}

void addHeadLine(const std::string& line, std::vector<HeadEntry>& out, std::size_t& lines)
{
    std::size_t eq = line.find('=');
    if (eq == std::string::npos)
        return; // not an entry: no face file named
    ++lines;
    if (out.size() < CharacterState::kHeadCapacity)
        out.push_back(HeadEntry{line.substr(0, eq), line.substr(eq + 1)});
}

// A face-folder file, read once per run and kept.
const std::vector<std::uint8_t>* faceFolderFile(Conversion& c, const std::string& name)
{
    auto it = c.characters.faceFiles.find(name);
    if (it == c.characters.faceFiles.end()) {
        std::string path = c.paths.programFolder + "faces\\" + name;
        it = c.characters.faceFiles.emplace(name, c.platform.readFile(path)).first;
    }
    return it->second ? &*it->second : nullptr;
}

} // namespace

std::size_t parseHeadTable(std::span<const std::uint8_t> text, std::vector<HeadEntry>& out)
{
    out.clear();
    std::size_t lines = 0;
    std::string line;
    ByteCursor cursor(text);
    while (!cursor.atEnd()) {
        std::uint8_t b = cursor.u8();
        if (isLineSeparator(b)) {
            if (!line.empty())
                addHeadLine(line, out, lines);
            line.clear();
        } else {
            line.push_back(static_cast<char>(b));
        }
    }
    if (!line.empty())
        addHeadLine(line, out, lines);
    return lines;
}

std::string_view faceFileFor(const std::vector<HeadEntry>& heads, std::string_view head)
{
    for (const HeadEntry& e : heads)
        if (e.head == head)
            return e.faceFile;
    return "zero.fg";
}

FaceGenValues computeFaceGen(const std::vector<std::uint8_t>* face,
                             const std::vector<std::uint8_t>* race)
{
    ByteCursor faceCursor;
    bool faceReadable = false;
    if (face && face->size() >= kFaceHeaderSize) {
        faceCursor = ByteCursor(*face);
        faceReadable = faceCursor.seek(kFaceHeaderSize);
    }
    ByteCursor raceCursor;
    if (race)
        raceCursor = ByteCursor(*race);

    std::int16_t faceValue = 0;
    float raceValue = 0.0f;
    auto nextFace = [&] {
        if (faceReadable && faceCursor.has(2))
            faceValue = faceCursor.i16();
        return static_cast<double>(faceValue) / 1000.0;
    };
    auto nextRace = [&] {
        if (race && raceCursor.has(4))
            raceValue = raceCursor.f32();
        return static_cast<double>(raceValue);
    };

    FaceGenValues v;
    for (float& f : v.symmetric) {
        double faceD = nextFace();
        f = static_cast<float>(faceD - nextRace());
    }
    for (float& f : v.asymmetric) {
        double faceD = nextFace();
        f = static_cast<float>(faceD - nextRace());
    }
    for (float& f : v.texture)
        f = static_cast<float>(nextFace());
    return v;
}

void writeFaceGen(Conversion& c, SubrecordBuffer& out, std::string_view raceFile,
                  std::optional<std::string_view> head)
{
    std::string faceFile(head ? faceFileFor(c.characters.heads, *head) : "zero.fg");
    const std::vector<std::uint8_t>* race = faceFolderFile(c, std::string(raceFile));
    if (!race)
        c.console.print("No FGS file\n");
    const std::vector<std::uint8_t>* face = faceFolderFile(c, faceFile);
    if (!face)
        c.console.print("No FG file\n");

    FaceGenValues v = computeFaceGen(face, race);
    auto floats = [&out](Tag tag, std::span<const float> values) {
        ByteWriter& w = out.begin(tag);
        for (float f : values)
            w.f32(f);
        out.finish();
    };
    floats(makeTag("FGGS"), v.symmetric);
    floats(makeTag("FGGA"), v.asymmetric);
    floats(makeTag("FGTS"), v.texture);
    out.u16(makeTag("FNAM"), 0x4477);
}

int parseFaces(Conversion& c)
{
    c.console.print("\nParsing facegen faces for head conversion\n");
    c.characters.heads.clear();
    std::string path = c.paths.programFolder + "faces\\Heads.ini";
    std::optional<std::vector<std::uint8_t>> text = c.platform.readFile(path);
    if (!text) {
        c.console.print("Can't find %s!\n", path.c_str());
        return -1;
    }
    if (text->size() > CharacterState::kHeadsFileLimit) {
        c.console.print("Heads.ini too big!\n");
        return -1;
    }
    std::size_t lines = parseHeadTable(*text, c.characters.heads);
    for (std::size_t i = 0; i < lines; ++i)
        c.console.print(".");
    c.console.print("\n");
    if (lines > CharacterState::kHeadCapacity) {
        c.console.print("too many heads!\n");
        c.log.capacity("too many heads!");
    }
    return 0;
}

int saveEyes(Conversion& c)
{
    struct EyeRow {
        const char* editorId;
        const char* fullName;
        const char* base;
        std::uint32_t CharacterState::*formId;
    };
    static constexpr EyeRow kEyes[] = {
        {"eyeKhajiit1", "Khajiit", "eyekhajiit1", &CharacterState::eyeKhajiit1},
        {"eyeBlack", "Noirs", "eyeblack", &CharacterState::eyeBlack},
        {"eyeGrey", "Gris", "eyegrey", &CharacterState::eyeGrey},
    };

    c.console.print("\nSaving eyes\n");
    c.out.beginGroup(makeTag("EYES"), 0);
    // The copies below need their folder; an Oblivion data folder without
    // custom eyes yet does not have it.
    std::string eyeFolder = c.config.targetData + "\\Textures\\Characters\\Eyes";
    createFolderPath(c.platform, eyeFolder);
    for (const EyeRow& row : kEyes) {
        std::string base(row.base);
        std::string target = c.config.targetData + "\\Textures\\Characters\\Eyes\\" + base;
        c.platform.copyFileNoReplace(c.paths.programFolder + base + ".dds", target + ".dds");
        c.platform.copyFileNoReplace(c.paths.programFolder + base + "_n.dds", target + "_n.dds");

        SubrecordBuffer sub;
        sub.text(makeTag("EDID"), row.editorId);
        sub.text(makeTag("FULL"), row.fullName);
        sub.text(makeTag("ICON"), "Characters\\Eyes\\" + base + ".dds");
        sub.u8(makeTag("DATA"), 1);
        std::uint32_t formId = c.out.nextFormId();
        c.out.writeRecord(makeTag("EYES"), 0, formId, sub);
        c.characters.*row.formId = formId;
    }
    c.out.endGroup();
    return 0;
}

} // namespace lw::modshift
