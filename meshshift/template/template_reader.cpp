#include "meshshift/template/template_reader.hpp"

#include <string>

#include "common/console/console.hpp"
#include "common/io/byte_cursor.hpp"
#include "meshshift/nif20/sync_stream.hpp"
#include "meshshift/template/template_table.hpp"

namespace lw::meshshift {
namespace {

constexpr std::string_view kHeaderLine = "Gamebryo File Format, Version 20.0.0.5";

// Calls f with an empty record of the template type `name`; false when unknown.
template <class F>
bool withTemplateType(std::string_view name, F&& f)
{
#define LW_TEMPLATE_TYPE(T) \
    if (name == #T)         \
        return f(T{}), true;
    LW_TEMPLATE_TYPE(NiNode)
    LW_TEMPLATE_TYPE(BSXFlags)
    LW_TEMPLATE_TYPE(NiStringExtraData)
    LW_TEMPLATE_TYPE(hkPackedNiTriStripsData)
    LW_TEMPLATE_TYPE(bhkPackedNiTriStripsShape)
    LW_TEMPLATE_TYPE(bhkNiTriStripsShape)
    LW_TEMPLATE_TYPE(bhkMoppBvTreeShape)
    LW_TEMPLATE_TYPE(bhkRigidBodyT)
    LW_TEMPLATE_TYPE(bhkCollisionObject)
    LW_TEMPLATE_TYPE(NiTriStrips)
    LW_TEMPLATE_TYPE(NiBinaryExtraData)
    LW_TEMPLATE_TYPE(NiMaterialProperty)
    LW_TEMPLATE_TYPE(NiTexturingProperty)
    LW_TEMPLATE_TYPE(NiSourceTexture)
    LW_TEMPLATE_TYPE(NiTriStripsData)
    LW_TEMPLATE_TYPE(NiControllerManager)
    LW_TEMPLATE_TYPE(NiControllerSequence)
    LW_TEMPLATE_TYPE(NiMultiTargetTransformController)
    LW_TEMPLATE_TYPE(NiTransformInterpolator)
    LW_TEMPLATE_TYPE(NiStringPalette)
    LW_TEMPLATE_TYPE(NiTransformData)
    LW_TEMPLATE_TYPE(NiTextKeyExtraData)
    LW_TEMPLATE_TYPE(NiDefaultAVObjectPalette)
#undef LW_TEMPLATE_TYPE
    return false;
}

int refuse(Console& console, TemplateTable& templ, const std::string& why)
{
    console.print("Damaged template: %s\n", why.c_str());
    templ.blocks.clear();
    templ.records.clear();
    templ.typeNames.clear();
    return -1;
}

} // namespace

bool isTemplateBlockType(std::string_view name)
{
    return withTemplateType(name, [](auto&&) {});
}

int readTemplate(Console& console, TemplateTable& templ)
{
    templ.typeNames.clear();
    templ.blocks.clear();
    templ.records.clear();
    ByteCursor in(templ.image);

    for (char expected : kHeaderLine) {
        if (!in.has(1) || static_cast<char>(in.u8()) != expected) {
            console.print("Wrong NIF version\n");
            return -1;
        }
    }
    in.skip(10); // line feed, version, endian type, user version
    const std::uint32_t count = in.u32();
    in.u32(); // user version 2
    for (int i = 0; i < 3; ++i)
        in.skip(in.u8()); // creator, export info 1 and 2
    const std::uint16_t typeCount = in.u16();
    for (std::uint16_t t = 0; t < typeCount && in.ok(); ++t) {
        const std::uint32_t n = in.u32();
        if (!in.has(n))
            return refuse(console, templ, "a block type name runs past the end of the file");
        templ.typeNames.push_back(in.chars(n));
    }
    if (!in.ok())
        return refuse(console, templ, "the file ends inside its header");
    if (count > kMaxBlocks || std::size_t{count} * 2 > in.remaining())
        return refuse(console, templ, std::to_string(count) + " blocks declared");
    templ.blocks.resize(count);
    for (auto& b : templ.blocks) {
        b.typeIndex = in.u16();
        if (b.typeIndex >= typeCount)
            return refuse(console, templ, "a block type index beyond the " + std::to_string(typeCount) + " types");
    }
    in.u32(); // unknown
    if (!in.ok())
        return refuse(console, templ, "the file ends inside its header");

    SyncReader reader(in, count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string_view name = templ.typeName(i);
        const bool known = withTemplateType(name, [&](auto record) {
            record.sync(reader);
            templ.records.push_back(std::move(record));
            templ.blocks[i].record = &templ.records.back();
        });
        if (!known) {
            console.print("Unknown object: %.*s\n", static_cast<int>(name.size()), name.data());
            templ.blocks.clear();
            return -1;
        }
        if (!reader.ok())
            return refuse(console, templ,
                          "block " + std::to_string(i) + " (" + std::string(name) + "): " + reader.error());
    }
    return 0;
}

} // namespace lw::meshshift
