#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "scenefile/open_file.h"

namespace lumo {
namespace {

const std::string kData = LUMO_TEST_DATA "/scenes/";

TEST(OpenFile, TheContentSaysWhatAFileIs) {
    const struct {
        std::string head;
        FileKind kind;
    } cases[] = {
        {"{ \"version\": 1, \"light\": {} }", FileKind::kScene},
        {"\xEF\xBB\xBF\n {\"title\": \"asset\", \"asset\": 1}", FileKind::kGltf},  // a key, after a value "asset"
        {"{\"meshes\": [{\"asset\": 1}], \"title\": \"x\"}", FileKind::kScene},      // "asset" below the top
        {"{\"buffers\": [], \"asset\": {\"version\": \"2.0\"}}", FileKind::kGltf},
        {std::string("glTF\x02\0\0\0", 8), FileKind::kGlb},
        {"# made by hand\n\n  v 0 0 0\nf 1 2 3\n", FileKind::kObj},
        {"mtllib a.mtl\r\nv 0 0 0\r\n", FileKind::kObj},
        {"vv 0 0 0\n", FileKind::kOther},
        {"Hello, world\n", FileKind::kOther},
        {std::string("\xFF\xFE{\0\"\0", 6), FileKind::kOther},  // UTF-16
        {std::string("v\0\x01\x02", 4), FileKind::kOther},
        {"", FileKind::kOther},
    };
    for (const auto& c : cases) EXPECT_EQ(fileKindOf(c.head), c.kind) << c.head;
}

TEST(OpenFile, ABareMeshStandsOnAGroundInViewAndOtherFilesAreRefused) {
    const SceneFileResult r = openSceneOrMesh(kData + "quad.obj");
    ASSERT_TRUE(r.scene) << r.error;
    const Scene& s = *r.scene;
    EXPECT_EQ(s.title, "quad.obj");
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("skipped 1 degenerate shape"), std::string::npos) << r.warnings[0];
    const auto g = std::find_if(s.objects.begin(), s.objects.end(), [](auto& o) { return o.type == kParallelogram; });
    ASSERT_NE(g, s.objects.end());
    const SceneObject& ground = *g;
    // The mesh spans x and y 0..1 at z 0 (the skipped face's far corner is no part of it): the ground
    // lies just below it, around its middle.
    EXPECT_LT(ground.patch.origin.z, 0.0f);
    EXPECT_GT(ground.patch.origin.z, -0.01f);
    const Vec3 groundMiddle = add(ground.patch.origin, scale(0.5f, add(ground.patch.edgeA, ground.patch.edgeB)));
    EXPECT_NEAR(groundMiddle.x, 0.5f, 1e-5f);
    EXPECT_NEAR(groundMiddle.y, 0.5f, 1e-5f);
    const Camera& c = s.camera;
    EXPECT_NEAR(c.lookAtPoint.x, 0.5f, 1e-5f);
    EXPECT_NEAR(c.lookAtPoint.y, 0.5f, 1e-5f);
    // The sphere round the mesh (radius sqrt(2)/2) fits the field of view from the start distance.
    EXPECT_GT(c.orbitRadius * std::sin(0.5f * c.fieldOfView), 0.5f * std::sqrt(2.0f));
    EXPECT_LT(c.orbitRadius * std::sin(0.5f * c.fieldOfView), 0.6f * std::sqrt(2.0f));

    const SceneFileResult gltf = openSceneOrMesh(kData + "tri.gltf");
    ASSERT_TRUE(gltf.scene) << gltf.error;
    EXPECT_TRUE(openSceneOrMesh(kData + "good.json").scene);

    const std::string dir = testing::TempDir();
    std::ofstream(dir + "notes.txt") << "Hello\n";
    std::ofstream(dir + "mesh.dat") << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    EXPECT_EQ(openSceneOrMesh(dir + "notes.txt").error,
              dir + "notes.txt: not a file Lumo can open (a JSON scene file, or an OBJ, glTF or GLB mesh)");
    EXPECT_EQ(openSceneOrMesh(dir + "mesh.dat").error,
              dir + "mesh.dat: an OBJ mesh is read from a file named *.obj; rename it to open it");
    std::ofstream(dir + "bad.obj") << "v 0 0 0\nf 1 2 9\n";
    const std::string bad = openSceneOrMesh(dir + "bad.obj").error;
    EXPECT_EQ(bad.rfind(dir + "bad.obj:2: ", 0), 0u) << bad;  // the mesh's own line, not the scene made round it
}

}  // namespace
}  // namespace lumo
