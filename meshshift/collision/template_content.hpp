#pragma once
// The content of the shipped template mesh "bhktemp.nif": the blocks the
// collision step takes by position, with values fit for Oblivion. The build
// writes it with the program's own NIF 20.0.0.5 writer (tools/template); what
// each block holds and why is told in tools/template/README.md.
//
//   0  NiNode "Door"            root; controller -> 13; first child -> 9
//   1  BSXFlags "BSX"           2 (collision); 3 for movable and animated layers
//   2  NiStringExtraData "UPB"  statics, activators, containers, flora
//   3  NiStringExtraData "UPB"  weapons and lights (layer 5), first
//   4  NiStringExtraData "Src"  weapons and lights (layer 5), second
//   5  NiStringExtraData "UPB"  books and misc items (layer 4)
//   6  NiStringExtraData "UPB"  -h: instead of BSXFlags and the layer's data
//   7  NiStringExtraData "UPB"  doors (layer 2)
//   8  bhkCollisionObject       body -> 10
//   9  NiNode "Scene Root"      parent for a scene whose root is no NiNode
//  10  bhkRigidBodyT            shape -> 11, no constraints
//  11  bhkNiTriStripsShape      strips data -> 12
//  12  NiTriStripsData          empty, no UV sets
//  13  NiControllerManager      next controller -> 14; sequences 15, 21; objects 26
//  14  NiMultiTargetTransformController  extra targets 0, 9
//  15  NiControllerSequence "Open"   blocks: 16 (root), 18 (door); palette 17; keys 20
//  16  NiTransformInterpolator  root: rest pose, no data
//  17  NiStringPalette          "Door", "NiTransformController", "Scene Root"
//  18  NiTransformInterpolator  door: data -> 19
//  19  NiTransformData          opening: 0 to 90 degrees about z in one second
//  20  NiTextKeyExtraData       "start" at 0, "end" at 1
//  21  NiControllerSequence "Close"  blocks: 22 (root), 23 (door); palette 17; keys 25
//  22  NiTransformInterpolator  root: rest pose, no data
//  23  NiTransformInterpolator  door: data -> 24
//  24  NiTransformData          closing: 90 to 0 degrees
//  25  NiTextKeyExtraData       "start" at 0, "end" at 1
//  26  NiDefaultAVObjectPalette "Door" -> 0, "Scene Root" -> 9

namespace lw::meshshift {
struct MeshJob;
}

namespace lw::meshshift::collision {

// Fills job.blocks with the template's blocks; block numbers are the entry
// numbers above, and every link the collision step does not set is none.
void buildShippedTemplate(MeshJob& job);

} // namespace lw::meshshift::collision
