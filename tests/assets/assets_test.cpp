// The asset copiers over an in-memory data folder pair and a fixture archive.
#include <gtest/gtest.h>

#include <vector>

#include "modshift/assets/asset_copy.hpp"
#include "support/bsa_builder.hpp"
#include "support/conversion_run.hpp"

namespace lw::test {
namespace {

using namespace lw::modshift;

TEST(Copiers, TexturesIconsAndSoundsFromLooseFilesTheArchiveOrNowhere)
{
    const std::string data = "M:\\Morrowind\\Data Files\\", textures = "O:\\Oblivion\\Data\\Textures\\";
    const std::string icons = textures + "Menus\\Icons\\", sounds = "O:\\Oblivion\\Data\\Sound\\";
    ConversionRun run;
    FakePlatform& p = run.platform;
    p.put("P:\\prog\\template_n.dds", "template normal");
    p.put("P:\\prog\\iconWeap.dds", "placeholder");
    BsaBuilder bsa;
    bsa.add("textures\\tx_archived.dds", "archived texture").add("icons\\w\\tx_archived.dds", "archived icon");
    p.files[run.c->paths.archivePath] = bsa.build();
    ASSERT_EQ(run.c->archive.open(run.c->paths.archivePath), 0);
    p.put(data + "Textures\\tx_loose.dds", "loose texture");
    p.put(data + "Icons\\w\\tx_loose.dds", "loose icon");
    p.put(data + "Sound\\Fx\\a.wav", "wave");
    p.put(textures + "L\\present.dds", "old texture");
    // Names that climb out of the data folder's asset folders, with either slash.
    p.put(data + "Textures\\..\\secret.dds", "secret");
    p.put(data + "Textures\\a/../../secret.dds", "secret");
    p.put(data + "Sound\\../secret.wav", "secret");

    const std::vector<std::tuple<std::string, std::string, std::string>> textureRows = {
        {"tx_loose.dds", "L\\a.dds", "loose texture"},      {"TX_Archived.dds", "L\\b.dds", "archived texture"},
        {"tx_nowhere.dds", "L\\c.dds", "<missing>"},         {"tx_loose.dds", "L\\present.dds", "old texture"},
        {"..\\secret.dds", "L\\s1.dds", "<missing>"},        {"a/../../secret.dds", "L\\s2.dds", "<missing>"}};
    for (const auto& [source, destination, text] : textureRows) {
        copyTexture(*run.c, source, destination);
        EXPECT_EQ(p.textOf(textures + destination), text) << source;
    }
    // Every texture gets its normal map, found or not; nothing lands elsewhere.
    std::vector<std::string> written;
    for (const auto& [path, bytes] : p.files)
        if (path.starts_with(textures + "L\\"))
            written.push_back(path.substr(textures.size()) + (bytes == p.files.at("P:\\prog\\template_n.dds") ? " N" : ""));
    EXPECT_EQ(written, (std::vector<std::string>{"L\\a.dds", "L\\a_n.dds N", "L\\b.dds", "L\\b_n.dds N", "L\\c_n.dds N",
                                                 "L\\present.dds", "L\\present_n.dds N", "L\\s1_n.dds N", "L\\s2_n.dds N"}));
    const std::vector<std::tuple<std::string, std::string, std::string>> iconRows = {
        {"w\\tx_loose.dds", "W\\a.dds", "loose icon"}, {"w\\tx_archived.dds", "W\\b.dds", "archived icon"},
        {"w\\tx_nowhere.dds", "W\\c.dds", "placeholder"}};
    for (const auto& [source, destination, text] : iconRows) {
        copyIcon(*run.c, source, destination);
        EXPECT_EQ(p.textOf(icons + destination), text) << source;
    }
    copySound(*run.c, "Fx\\a.wav", "fx\\mw\\Fx\\a.wav");
    copySound(*run.c, "../secret.wav", "fx\\mw\\s.wav");
    EXPECT_EQ(p.textOf(sounds + "fx\\mw\\Fx\\a.wav"), "wave");
    EXPECT_FALSE(p.has(sounds + "fx\\mw\\s.wav"));
    EXPECT_EQ(run.text(), "Texture file tx_loose.dds copied\nIcon file tx_loose.dds copied\n"
                          "Sound file M:\\Morrowind\\Data Files\\Sound\\../secret.wav does not exist\n");
}

} // namespace
} // namespace lw::test
