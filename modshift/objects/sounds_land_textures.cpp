// Sounds (TES3 SOUN to TES4 SOUN, the file copied into the Sound folder) and
// land textures (TES3 LTEX to TES4 LTEX, the texture copied into the
// landscape textures, its form identifier kept by texture index).
#include "common/io/byte_cursor.hpp"
#include "modshift/assets/asset_copy.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/objects/object_kinds.hpp"
#include "modshift/objects/sound_attenuation.hpp"
#include "modshift/objects/text_field.hpp"
#include "modshift/tes3/identifiers.hpp"

namespace lw::modshift::kinds {

namespace {

constexpr Tag kSNDX = makeTag("SNDX");
constexpr Tag kINTV = makeTag("INTV");
constexpr Tag kHNAM = makeTag("HNAM");
constexpr Tag kSNAM = makeTag("SNAM");

// The file name without its four-character extension, converted, with `extension`.
std::string convertedFileName(std::string_view path, std::string_view extension)
{
    return convertIdentifier(path.substr(0, path.size() - 4)) + std::string(extension);
}

// --- sounds ----------------------------------------------------------------

void soundSubrecord(ObjectWork& w, std::int32_t node)
{
    const Tag tag = w.c.tree.node(node).tag;
    if (tag == kNAME) {
        w.editorId = makeEditorId(w.c.tree, node);
    } else if (tag == kFNAM) {
        auto file = replaceExtensionInPlace(w.c.tree, node, ".wav");
        if (!file)
            return;
        std::string path = "fx\\" + w.c.config.assetSubfolder + "\\" + convertedFileName(*file, ".wav");
        copySound(w.c, *file, path);
        w.soundPath = std::move(path);
    } else if (tag == kDATA) {
        w.dataNode = node;
    }
}

Verdict decideSound(ObjectWork& w)
{
    // Every named sound is written, so that regions always find it; one
    // without a file gets an empty file name to be filled in in the editor.
    return w.editorId.empty() ? Verdict::Silent : Verdict::Write;
}

void buildSound(const ObjectWork& w, SubrecordBuffer& out)
{
    const auto raw = fixedData<3>(w.c.tree, w.dataNode); // volume, minimum, maximum range
    ByteCursor in(raw);
    const std::uint8_t volume = in.u8();

    out.text(kEDID, w.editorId);
    out.text(kFNAM, w.soundPath ? *w.soundPath : std::string_view());
    ByteWriter& sndx = out.begin(kSNDX);
    sndx.zeros(4); // minimum and maximum distance, frequency adjustment, unused
    sndx.u32(0x40);
    sndx.i16(w.dataNode >= 0 ? staticAttenuation(volume) : std::int16_t{0});
    sndx.zeros(2); // stop and start time
    out.finish();
}

// --- land textures ---------------------------------------------------------

void clearLandTextures(Conversion& c)
{
    c.objects.landTextures.fill(0);
}

void landTextureSubrecord(ObjectWork& w, std::int32_t node)
{
    const Tag tag = w.c.tree.node(node).tag;
    if (tag == kNAME) {
        handleName(w, node, true);
    } else if (tag == kINTV) {
        const auto raw = fixedData<4>(w.c.tree, node);
        ByteCursor in(raw);
        w.textureIndex = in.i32();
    } else if (tag == kDATA && w.listValue == 0) {
        auto file = replaceExtensionInPlace(w.c.tree, node, ".dds");
        if (!file)
            return;
        const std::string name = w.c.config.assetSubfolder + "\\" + convertedFileName(*file, ".dds");
        copyTexture(w.c, *file, "Landscape\\" + name);
        w.iconPath = name;
    }
}

Verdict decideLandTexture(ObjectWork& w)
{
    if (!w.textureIndex) {
        refuse(w, "no texture index"); // no slot to fill: nothing could ever use it
        return Verdict::Skip;
    }
    if (*w.textureIndex >= 255 || *w.textureIndex < -1) {
        w.c.console.write("invalid land textures index!\n");
        return Verdict::Stop;
    }
    if (w.listValue != 0) {
        w.c.objects.landTextures[static_cast<std::size_t>(*w.textureIndex + 1)] = w.listValue;
        return Verdict::Silent;
    }
    return w.editorId.empty() ? Verdict::Silent : Verdict::Write;
}

void buildLandTexture(const ObjectWork& w, SubrecordBuffer& out)
{
    out.text(kEDID, w.editorId);
    out.text(kICON, w.iconPath ? *w.iconPath : std::string_view());
    const std::uint8_t havok[3] = {4, 30, 30}; // material, friction, restitution
    out.raw(kHNAM, havok);
    out.u8(kSNAM, 30); // specular exponent
}

void landTextureWritten(ObjectWork& w, std::uint32_t formId)
{
    w.c.objects.landTextures[static_cast<std::size_t>(*w.textureIndex + 1)] = formId;
}

} // namespace

const ObjectKind& sounds()
{
    static const ObjectKind kind = [] {
        ObjectKind k;
        k.sourceTag = k.targetTag = makeTag("SOUN");
        k.table = &Tables::sounds;
        k.capacity = 1000;
        k.saving = "\nSaving sounds\n";
        k.found = "found %i sounds\n";
        k.tooMany = "too many sounds!\n";
        k.dotPerRecord = true;
        k.newlineAfter = true;
        k.stopEarly = false;
        k.subrecord = soundSubrecord;
        k.decide = decideSound;
        k.build = buildSound;
        return k;
    }();
    return kind;
}

const ObjectKind& landTextures()
{
    static const ObjectKind kind = [] {
        ObjectKind k;
        k.sourceTag = k.targetTag = makeTag("LTEX");
        k.capacity = 256;
        k.saving = "\nSaving land textures\n";
        k.found = "found %i land textures\n";
        k.tooMany = "too many land textures!\n";
        k.listFile = "land.ini";
        k.openArchive = true;
        k.stopEarly = false;
        k.begin = clearLandTextures;
        k.subrecord = landTextureSubrecord;
        k.decide = decideLandTexture;
        k.build = buildLandTexture;
        k.written = landTextureWritten;
        return k;
    }();
    return kind;
}

} // namespace lw::modshift::kinds
