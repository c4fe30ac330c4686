#pragma once
// Copying the files that converted records use besides their meshes: land
// textures (each with a "_n.dds" normal map made from the template), inventory
// icons (with the "iconWeap.dds" placeholder when the icon cannot be found) and
// sound files. Sources are relative to the asset's folder below the source data
// folder, destinations relative to its folder below the target data folder:
//
//   texture  Textures\<dest>             from Textures\<src>  or archive "textures\<src>"
//   icon     Textures\Menus\Icons\<dest> from Icons\<src>     or archive "icons\<src>"
//   sound    Sound\<dest>                from Sound\<src>     (never from the archive)
//
// A file already at its destination is never replaced. Textures and icons not
// lying loose come out of the archive the calling converter has open.

#include <string_view>

namespace lw::modshift {

struct Conversion;

void copyTexture(Conversion& c, std::string_view source, std::string_view destination);
void copyIcon(Conversion& c, std::string_view source, std::string_view destination);
void copySound(Conversion& c, std::string_view source, std::string_view destination);

} // namespace lw::modshift
