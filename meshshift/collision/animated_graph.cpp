// The animation graph of doors (layer 2): the template's controller manager
// with its multi-target transform controller, two sequences (open and close),
// their interpolators, transform data and text keys, one string palette and
// the object palette, wired to the new root and the collision parent.
#include <string>

#include "common/console/console.hpp"
#include "meshshift/collision/collision_step.hpp"
#include "meshshift/driver/mesh_job.hpp"

namespace lw::meshshift::collision {
namespace {

constexpr std::string_view kControllerType = "NiTransformController";

// Appends template block `block` when it is a T; the record, or null after a message.
template <class T>
T* appendAs(CollisionRun& run, Link block, std::string_view wanted, Link& entry)
{
    T* record = run.templ.as<T>(block);
    if (!record) {
        run.templateMisfit(block, wanted);
        return nullptr;
    }
    entry = run.appendTemplate(block);
    return entry == kNoLink ? nullptr : record;
}

} // namespace

int buildAnimatedGraph(CollisionRun& run)
{
    const std::string_view rootName = run.hostNode->name;
    const std::string_view parentName = run.parentNode->name;
    const std::size_t l1 = rootName.size();
    const std::size_t l2 = parentName.size();
    const std::size_t paletteLength = l1 + l2 + kControllerType.size() + 3;
    if (paletteLength > kStringPaletteCapacity) {
        run.console.print("string palette too long!\n");
        return -1;
    }
    // Names at offset 0 (root), L1 + 1 (controller type), L1 + 23 (parent).
    std::string text;
    text.append(rootName).push_back('\0');
    text.append(kControllerType).push_back('\0');
    text.append(parentName).push_back('\0');
    const auto controllerOffset = static_cast<std::uint32_t>(l1 + 1);
    const auto parentOffset = static_cast<std::uint32_t>(l1 + kControllerType.size() + 2);

    Link managerEntry = kNoLink;
    auto* manager = appendAs<NiControllerManager>(run, run.templateManager, "NiControllerManager", managerEntry);
    if (!manager)
        return -1;
    manager->target = run.host;
    run.hostNode->controller = managerEntry;

    Link controllerEntry = kNoLink;
    auto* controller = appendAs<NiMultiTargetTransformController>(run, manager->nextController,
                                                                  "NiMultiTargetTransformController", controllerEntry);
    if (!controller)
        return -1;
    if (controller->extraTargets.size() < 2)
        return run.templateMisfit(manager->nextController, "controller with two targets");
    manager->nextController = controllerEntry;
    controller->target = run.host;
    controller->extraTargets[0] = run.host;
    controller->extraTargets[1] = run.parent;

    if (manager->sequences.size() < 2)
        return run.templateMisfit(run.templateManager, "manager of two sequences");
    Link paletteEntry = kNoLink;
    NiStringPalette* palette = nullptr;
    for (std::size_t i = 0; i < 2; ++i) {
        const Link sequenceBlock = manager->sequences[i];
        Link sequenceEntry = kNoLink;
        auto* sequence = appendAs<NiControllerSequence>(run, sequenceBlock, "NiControllerSequence", sequenceEntry);
        if (!sequence)
            return -1;
        if (sequence->controlledBlocks.size() < 2)
            return run.templateMisfit(sequenceBlock, "sequence of two controlled blocks");
        manager->sequences[i] = sequenceEntry;
        ControlledBlock& rootBlock = sequence->controlledBlocks[0];
        ControlledBlock& parentBlock = sequence->controlledBlocks[1];
        rootBlock.controller = controllerEntry;
        parentBlock.controller = controllerEntry;

        Link entry = kNoLink;
        if (!appendAs<NiTransformInterpolator>(run, rootBlock.interpolator, "NiTransformInterpolator", entry))
            return -1;
        rootBlock.interpolator = entry;
        if (i == 0) {
            palette = appendAs<NiStringPalette>(run, rootBlock.stringPalette, "NiStringPalette", paletteEntry);
            if (!palette)
                return -1;
        }
        auto* moving = appendAs<NiTransformInterpolator>(run, parentBlock.interpolator, "NiTransformInterpolator", entry);
        if (!moving)
            return -1;
        parentBlock.interpolator = entry;
        if (!appendAs<NiTransformData>(run, moving->data, "NiTransformData", entry))
            return -1;
        moving->data = entry;
        if (!appendAs<NiTextKeyExtraData>(run, sequence->textKeys, "NiTextKeyExtraData", entry))
            return -1;
        sequence->textKeys = entry;

        sequence->manager = managerEntry;
        sequence->targetName = rootName;
        sequence->stringPalette = paletteEntry;
        for (ControlledBlock* b : {&rootBlock, &parentBlock}) {
            b->stringPalette = paletteEntry;
            b->offsets[2] = controllerOffset;
        }
        rootBlock.offsets[0] = 0;
        parentBlock.offsets[0] = parentOffset;
    }

    Link objectsEntry = kNoLink;
    auto* objects = appendAs<NiDefaultAVObjectPalette>(run, manager->objectPalette, "NiDefaultAVObjectPalette",
                                                       objectsEntry);
    if (!objects)
        return -1;
    if (objects->objects.size() < 2)
        return run.templateMisfit(manager->objectPalette, "object palette of two objects");
    manager->objectPalette = objectsEntry;
    objects->objects[0] = {rootName, run.host};
    objects->objects[1] = {parentName, run.parent};

    palette->palette = run.job.keepString(std::move(text));
    palette->length = static_cast<std::uint32_t>(paletteLength);
    return 0;
}

} // namespace lw::meshshift::collision
