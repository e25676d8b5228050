// Files as users bring them: orientation of meshes, glTF primitives and scenes read or refused
// aloud, files that are not text, ranges, duplicate keys, placements and the shape of messages.
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "scenefile/scene_file.h"

namespace lumo {
namespace {

// Scene and mesh files written into a fresh folder.
class Files : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/lumo-files-XXXXXX";
        ASSERT_TRUE(mkdtemp(name));
        dir_ = name;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_ + "/" + name, std::ios::binary) << bytes;
        return dir_ + "/" + name;
    }
    // A scene holding one mesh entry (its JSON fields after "shape").
    SceneFileResult meshScene(const std::string& fields) {
        return loadSceneFile(write("s.json", R"({ "version": 1, "light": { "position": [1, 2, 3] },
            "objects": [{ "shape": "mesh", )" + fields + " }] }"));
    }
    SceneFileResult scene(const std::string& text) { return loadSceneFile(write("s.json", text)); }

    std::string dir_;
};

// Four vertices (-0.5 0 0, 0.5 0 0, 0 2 0, 1 2 0); accessor 0 takes the first three, 1 all four, and
// accessor 2 holds the indices 0 1 3 2 (a fan around the first vertex).
std::string gltf(const std::string& primitives, const std::string& top = R"("scene": 0, "scenes": [{ "nodes": [0] }],
                                                                            "nodes": [{ "mesh": 0 }],)") {
    return R"({ "asset": { "version": "2.0" }, )" + top + R"( "meshes": [{ "primitives": )" + primitives + R"( }],
        "buffers": [{ "byteLength": 56, "uri": "data:application/octet-stream;base64,AAAAvwAAAAAAAAAAAAAAPwAAAAAAAAAAAAAAAAAAAEAAAAAAAACAPwAAAEAAAAAAAAABAAMAAgA=" }],
        "bufferViews": [{ "buffer": 0, "byteLength": 48 }, { "buffer": 0, "byteOffset": 48, "byteLength": 8 }],
        "accessors": [{ "bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3" },
                      { "bufferView": 0, "componentType": 5126, "count": 4, "type": "VEC3" },
                      { "bufferView": 1, "componentType": 5123, "count": 4, "type": "SCALAR" }] })";
}
const std::string kTriangle = R"([{ "attributes": { "POSITION": 0 } }])";

float highestZ(const Scene& s) {
    const PlanarPatch& p = s.objects[0].patch;
    return std::max({p.origin.z, p.origin.z + p.edgeA.z, p.origin.z + p.edgeB.z});
}

TEST_F(Files, MeshesStandUpright) {
    // A y-up triangle turned +90 degrees about x by the right-hand rule stands above the ground.
    write("tri.obj", "v -0.5 0 0\nv 0.5 0 0\nv 0 2 0\nf 1 2 3\n");
    SceneFileResult r = meshScene(R"("file": "tri.obj", "transform": [{ "rotateX": 90 }])");
    ASSERT_TRUE(r.scene) << r.error;
    EXPECT_NEAR(highestZ(*r.scene), 2.0f, 1e-6f);
    // glTF is y-up: the same triangle stands without a transform, and lies flat when called z-up.
    write("tri.gltf", gltf(kTriangle));
    r = meshScene(R"("file": "tri.gltf")");
    ASSERT_TRUE(r.scene) << r.error;
    EXPECT_EQ(highestZ(*r.scene), 2.0f);
    r = meshScene(R"("file": "tri.gltf", "up": "z")");
    ASSERT_TRUE(r.scene) << r.error;
    EXPECT_EQ(highestZ(*r.scene), 0.0f);
    r = meshScene(R"("file": "tri.obj", "up": "x")");
    EXPECT_NE(r.error.find("objects[0].up: expected \"y\" or \"z\""), std::string::npos) << r.error;
}

TEST_F(Files, GltfPrimitivesAndScenesAreReadOrNamed) {
    struct Case {
        std::string file;
        size_t triangles;
        std::string warning;
    };
    const Case cases[] = {
        {gltf(R"([{ "attributes": { "POSITION": 1 }, "mode": 5 }])"), 2, ""},
        {gltf(R"([{ "attributes": { "POSITION": 1 }, "indices": 2, "mode": 6 }])"), 2, ""},
        {gltf(R"([{ "attributes": { "POSITION": 1 }, "mode": 0 }, { "attributes": { "POSITION": 1 }, "mode": 3 }])"), 0,
         "m.gltf: 2 primitives of points or lines, or without positions, not read"},
        {gltf(R"({ "p": { "attributes": { "POSITION": 0 } } })"), 0,
         "m.gltf: 1 mesh has no primitives (expected an array of them)"},
        // Without scenes, every root node is shown; without nodes, every mesh.
        {gltf(kTriangle, R"("nodes": [{ "children": [1] }, { "mesh": 0 }],)"), 1, ""},
        {gltf(kTriangle, ""), 1, ""},
        {gltf(kTriangle, R"("scenes": [{ "nodes": [] }],)"), 0, "m.gltf: no triangles"},
    };
    for (const Case& c : cases) {
        write("m.gltf", c.file);
        const SceneFileResult r = meshScene(R"("file": "m.gltf")");
        ASSERT_TRUE(r.scene) << r.error;
        EXPECT_EQ(r.scene->objectCount(), c.triangles) << c.file;
        if (c.triangles == 2) {  // strips and fans keep the winding of their first triangle
            EXPECT_GT(dot(r.scene->objects[0].patch.normal, r.scene->objects[1].patch.normal), 0.0) << c.file;
        }
        if (c.warning.empty()) {
            EXPECT_TRUE(r.warnings.empty()) << r.warnings[0];
        } else {
            ASSERT_FALSE(r.warnings.empty()) << c.file;
            EXPECT_NE(r.warnings[0].find("objects[0].file: " + dir_ + "/" + c.warning), std::string::npos) << r.warnings[0];
        }
    }
}

TEST_F(Files, FilesThatCannotBeReadAreRefusedInOneLine) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string message;
    };
    std::string dracoFile = gltf(R"([{ "attributes": { "POSITION": 0 }, "indices": 3,
        "extensions": { "KHR_draco_mesh_compression": { "bufferView": 0, "attributes": { "POSITION": 0 } } } }])");
    dracoFile.insert(dracoFile.find("\"meshes\""), R"("extensionsRequired": ["KHR_draco_mesh_compression"], )");
    dracoFile.insert(dracoFile.rfind(']'), R"(, { "componentType": 5123, "count": 3, "type": "SCALAR" })");
    std::string wrongLength = gltf(kTriangle);
    wrongLength.replace(wrongLength.find("56, \"uri\""), 2, "5600");
    const Case cases[] = {
        {"m.gltf", gltf(kTriangle, R"("scene": 1, "scenes": [{ "nodes": [0] }], "nodes": [{ "mesh": 0 }],)"),
         "m.gltf: scene 1 does not exist (the file has 1)"},
        {"m.gltf", R"({ "asset": { "version": "1.0" }, "meshes": { "m": { "primitives": [] } } })",
         "m.gltf: glTF 1.0 files are not supported (only glTF 2.0)"},
        {"m.gltf", dracoFile, "m.gltf: Draco-compressed meshes are not supported"},
        {"m.gltf", "", "m.gltf: is empty"},
        {"m.gltf", wrongLength, "m.gltf: a buffer's data URI cannot be decoded or has the wrong byteLength"},
        {"m.obj", std::string("\xff\xfev\0 \0001\0", 8), "m.obj: not a text file (UTF-16)"},
        {"m.obj", std::string("v 1 2 3\n\x01\x02\x7f", 11), "m.obj: not a text file: line 2 holds the byte 0x01"},
    };
    for (const Case& c : cases) {
        write(c.name, c.bytes);
        const SceneFileResult r = meshScene(std::string(R"("file": ")") + c.name + "\"");
        EXPECT_FALSE(r.scene);
        EXPECT_NE(r.error.find("objects[0].file: " + dir_ + "/" + c.message), std::string::npos) << r.error;
        EXPECT_EQ(r.error.find('\n'), std::string::npos);
        EXPECT_LE(r.error.size(), 170u);
    }
}

// A 1 x 2 PNG (top red, bottom blue) and an 8 x 8 green JPEG.
const std::string kPng(
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00\x00\x02\x08\x02"
    "\x00\x00\x00\x16\xe3\x21\x70\x00\x00\x00\x0d\x49\x44\x41\x54\x78\x9c\x63\xf8\xcf\x00\x02\xff\x01\x08\x00"
    "\x01\xff\xd9\x90\xbb\x35\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82", 70);
const std::string kJpegUri = "data:image/jpeg;base64,"
    "/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEB"
    "AQEBAQEBAQEBAQEBAQH/2wBDAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEB"
    "AQEBAQEBAQH/wAARCAAIAAgDASIAAhEBAxEB/8QAHwAAAQUBAQEBAQEAAAAAAAAAAAECAwQFBgcICQoL/8QAtRAAAgEDAwIEAwUF"
    "BAQAAAF9AQIDAAQRBRIhMUEGE1FhByJxFDKBkaEII0KxwRVS0fAkM2JyggkKFhcYGRolJicoKSo0NTY3ODk6Q0RFRkdISUpTVFVW"
    "V1hZWmNkZWZnaGlqc3R1dnd4eXqDhIWGh4iJipKTlJWWl5iZmqKjpKWmp6ipqrKztLW2t7i5usLDxMXGx8jJytLT1NXW19jZ2uHi"
    "4+Tl5ufo6erx8vP09fb3+Pn6/8QAHwEAAwEBAQEBAQEBAQAAAAAAAAECAwQFBgcICQoL/8QAtREAAgECBAQDBAcFBAQAAQJ3AAEC"
    "AxEEBSExBhJBUQdhcRMiMoEIFEKRobHBCSMzUvAVYnLRChYkNOEl8RcYGRomJygpKjU2Nzg5OkNERUZHSElKU1RVVldYWVpjZGVm"
    "Z2hpanN0dXZ3eHl6goOEhYaHiImKkpOUlZaXmJmaoqOkpaanqKmqsrO0tba3uLm6wsPExcbHyMnK0tPU1dbX2Nna4uPk5ebn6Onq"
    "8vP09fb3+Pn6/9oADAMBAAIRAxEAPwD6wooor/lfP+Kc/9k=";

// Blue, green, red of a texture's texel.
std::array<int, 3> texel(const Material& m, int row) {
    const uint8_t* p = m.texture->pixels + row * ((m.texture->width * 3 + 3) & ~3);
    return {p[0], p[1], p[2]};
}

TEST_F(Files, TexturesAreDecodedAndBound) {
    // OBJ counts t from the image's bottom row, glTF from its top row.
    write("tex.png", kPng);
    write("tri.mtl", "newmtl T\nmap_Kd tex.png\nnewmtl Lost\nmap_Kd lost.png\n");
    write("tri.obj", "mtllib tri.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl T\nf 1 2 3\nusemtl Lost\nf 1 3 2\n");
    SceneFileResult r = meshScene(R"("file": "tri.obj")");
    ASSERT_TRUE(r.scene) << r.error;
    const Material& fromObj = *r.scene->objects[0].material;
    ASSERT_TRUE(fromObj.texture && fromObj.texture->pixels);
    EXPECT_EQ(fromObj.texture->width, 1);
    EXPECT_EQ(texel(fromObj, 0), (std::array<int, 3>{255, 0, 0}));
    EXPECT_FALSE(r.scene->objects[1].material->texture);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("map_Kd lost.png: cannot be read"), std::string::npos) << r.warnings[0];

    std::string file = gltf(R"([{ "attributes": { "POSITION": 0 }, "material": 0 }, { "attributes": { "POSITION": 0 }, "material": 1 }])");
    file.insert(file.find("\"meshes\""), R"("materials": [{ "pbrMetallicRoughness": { "baseColorTexture": { "index": 0 } } },
        { "pbrMetallicRoughness": { "baseColorTexture": { "index": 1 } } }],
        "textures": [{ "source": 0 }, { "source": 1 }], "images": [{ "uri": "tex.png" }, { "uri": ")" + kJpegUri + R"(" }], )");
    write("m.gltf", file);
    r = meshScene(R"("file": "m.gltf")");
    ASSERT_TRUE(r.scene) << r.error;
    EXPECT_TRUE(r.warnings.empty()) << r.warnings[0];
    EXPECT_EQ(texel(*r.scene->objects[0].material, 0), (std::array<int, 3>{0, 0, 255}));
    const Material& jpeg = *r.scene->objects[1].material;
    ASSERT_TRUE(jpeg.texture && jpeg.texture->pixels);
    EXPECT_EQ(jpeg.texture->height, 8);
    const std::array<int, 3> green = texel(jpeg, 7);
    EXPECT_TRUE(green[0] < 8 && green[1] > 247 && green[2] < 8) << green[0] << " " << green[1] << " " << green[2];
}

TEST_F(Files, RangesKeysAndPlacementsAreChecked) {
    const std::string head = R"({ "version": 1, "light": { "position": [1, 2, 3] }, )";
    const std::string material = head + R"("materials": [{ "name": "M", )";
    const std::string torus = head + R"("materials": [{ "name": "M" }], "objects": [{ "shape": "torus", "material": "M", )";
    const std::pair<std::string, std::string> refused[] = {
        {material + R"("reflectivity": 2 }] })", "materials[0].reflectivity: 2 is out of range (0 to 1)"},
        {material + R"("reflectivity": -1 }] })", "materials[0].reflectivity: -1 is out of range (0 to 1)"},
        {material + R"("transmission": 5 }] })", "materials[0].transmission: 5 is out of range (-1 to 1)"},
        {material + R"("transmission": -0.5 }] })", "materials[0].transmission: expected 0 to 1, or -1 for a dielectric"},
        {material + R"("diffuse": [1, 1, 1], "matte": true, "matte": false }] })",
         "materials[0].matte: the key appears twice in its object"},
        {head + R"("light": { "position": [0, 0, 1] } })", "light: the key appears twice in its object"},
        {torus + R"("transform": [{ "scale": [1, 1, 1e-3] }] }] })",
         "objects[0].transform: the axes differ in length by a factor of 1e+03, more than 100"},
        {head + R"("materials": [{ "name": "M" }], "objects": [{ "shape": "sphere", "material": "M", "centre": [0, 0, 0],
                   "radius": 1e8 }] })", "objects[0].radius: 1e+08 is out of range (0 to 1e+06)"},
                {torus + R"("worldToLocal": [0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0] }] })",
         "objects[0].worldToLocal: the matrix has no inverse"},
    };
    for (const auto& [text, message] : refused) {
        const SceneFileResult r = scene(text);
        EXPECT_FALSE(r.scene) << text;
        EXPECT_NE(r.error.find(message), std::string::npos) << r.error;
    }
    // Any uniform scale that single precision can invert is a placement; a flattened one is not.
    write("tri.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    for (const char* scale : {"2.4e-10", "1e-30", "1e6"}) {
        const SceneFileResult r = meshScene(std::string(R"("file": "tri.obj", "transform": [{ "scale": )") + scale + " }]");
        EXPECT_TRUE(r.scene) << scale << ": " << r.error;
    }
    const SceneFileResult flat = meshScene(R"("file": "tri.obj", "transform": [{ "matrix": [1, 0, 0, 1, 1e-7, 0, 0, 0, 1, 0, 0, 0] }])");
    EXPECT_NE(flat.error.find("objects[0].transform: the transform has no inverse"), std::string::npos) << flat.error;
}

TEST_F(Files, MessagesNameThePathAsGivenAndStayShort) {
    // The scene file by the path given, a mesh by the path it was looked for at.
    const SceneFileResult missing = meshScene(R"("file": "sub/none.obj")");
    EXPECT_EQ(missing.error, dir_ + "/s.json: objects[0].file: " + dir_ + "/sub/none.obj: cannot be read: No such file or directory");
    // A long value is cut in its middle, so the line keeps its start and end.
    const std::string longName(300, 'x');
    const SceneFileResult r = meshScene(R"("file": ")" + longName + ".obj\"");
    EXPECT_LE(r.error.size(), 170u);
    EXPECT_NE(r.error.find("objects[0].file: /tmp/lumo-files-"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("x...x"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("xxx.obj: cannot be read"), std::string::npos) << r.error;
}

}  // namespace
}  // namespace lumo
