#include "modshift/objects/mesh_convert.hpp"

#include "modshift/driver/conversion.hpp"
#include "modshift/objects/text_field.hpp"
#include "modshift/tes3/identifiers.hpp"

namespace lw::modshift {

bool unsafeModelPath(std::string_view modelPath)
{
    if (modelPath.find_first_of("\":") != std::string_view::npos)
        return true;
    if (modelPath.starts_with('\\') || modelPath.starts_with('/'))
        return true;
    std::size_t start = 0;
    while (start <= modelPath.size()) {
        std::size_t end = modelPath.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = modelPath.size();
        if (modelPath.substr(start, end - start) == "..")
            return true;
        start = end + 1;
    }
    return false;
}

std::string convertedMeshName(std::string_view modelPath)
{
    return convertIdentifier(modelPath.substr(0, modelPath.size() - 4)) + ".nif";
}

MeshResult convertMesh(Conversion& c, std::int32_t modlNode, const MeshRequest& request)
{
    MeshResult result;
    auto model = replaceExtensionInPlace(c.tree, modlNode, ".nif");
    if (!model)
        return result;
    if (unsafeModelPath(*model)) {
        c.console.print("unusable model path %s\n", std::string(*model).c_str());
        c.log.meshFailed(*model, "unusable model path");
        return result;
    }

    const std::string name = convertedMeshName(*model);
    const std::string& asset = c.config.assetSubfolder;
    result.modelPath = std::string(request.folder) + asset + "\\" + name;
    const std::string target = c.config.targetData + "\\Meshes\\" + result.modelPath;

    if (auto found = c.platform.findFile(target)) {
        c.console.print("Mesh file %s already exists\n", found->c_str());
        c.log.meshReused();
        result.keep = true;
        return result;
    }

    std::string command = c.paths.meshConverter + " \"" + std::string(*model) +
                          std::string(request.options) + result.modelPath;
    if (request.furniture)
        command += " -f";
    if (c.options.noWait)
        command += " --no-wait";
    if (request.announce)
        c.console.print(request.announce, command.c_str());

    std::optional<int> status = c.platform.runProcess(command);
    if (!status) {
        c.console.print("Can't start %s!\n", c.paths.meshConverter.c_str());
        logMeshFailure(c, *model, status);
        return result;
    }
    result.started = true;
    result.keep = *status == 0;
    if (result.keep)
        c.log.meshConverted();
    else
        logMeshFailure(c, *model, status);
    return result;
}

} // namespace lw::modshift
