// The real meshshift program, started from the program folder on a loose
// mesh, with the shipped template beside it.
#include <gtest/gtest.h>

#include "support/nif20_reader.hpp"
#include "support/nif4_builder.hpp"
#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"

namespace lw::test {
namespace {

Nif4Builder doorMesh()
{
    Nif4Builder nif;
    Nif4Builder::Node root;
    root.name = "DoorPanel1";
    nif.add(root);
    const std::uint32_t data = nif.add(Nif4Builder::quadData(32.0f));
    Nif4Builder::TriShape shape;
    shape.name = "Panel";
    shape.data = data;
    const std::uint32_t s = nif.add(shape);
    nif.node(0).children = {s};
    return nif;
}

TEST(MeshshiftRun, DoorAndStaticAreWrittenWithTheirCollision)
{
    struct Case {
        std::vector<std::string> options;
        const char* rootName;
        const char* shapeType;
    };
    for (const Case& c : {Case{{"-m", "12", "-l", "2", "-s", "6", "-q", "2"}, "Door", "bhkListShape"},
                          Case{{}, "DoorPanel1", "bhkNiTriStripsShape"}}) {
        TempDir dir("collision_run");
        dir.writeFile("door.nif", doorMesh().build());
        std::vector<std::string> args{"door.nif"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        RunOptions how;
        how.workingDir = dir.path();
        how.timeout = std::chrono::seconds(60);
        RunResult r = runProgram(programPath(LW_BIN_DIR, "meshshift"), args, how);
        ASSERT_TRUE(r.exitedWith(0)) << r.describe() << "\n" << r.out;
        EXPECT_NE(r.out.find("HAVOK done\n"), std::string::npos) << r.out;

        Nif20File f = readNif20(dir.readBytes("door_ob.nif"));
        ASSERT_TRUE(f.complete) << f.error;
        EXPECT_EQ(f.blocks[0].s("name"), c.rootName);
        const Nif20Block& body = f.first("bhkRigidBodyT");
        EXPECT_EQ(f.blocks.at(body.u("shape")).type, c.shapeType);
        const Nif20Block& object = f.first("bhkCollisionObject");
        EXPECT_EQ(f.blocks.at(object.u("target")).s("name"), "DoorPanel1");
    }
}

} // namespace
} // namespace lw::test
