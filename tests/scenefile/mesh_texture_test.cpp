// Textures and vertex colours of meshes: the texel a point of a quad shows through glTF and OBJ
// (orientation, filtering, the colour factor, vertex colours), wrap modes and texture transforms;
// mutated OBJ, glTF and GLB files answered with a scene or one line.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "scene/mesh_store.h"
#include "scenefile/scene_file.h"
#include "shade/texture_sample.h"

namespace lumo {
namespace {

// A 4 x 2 PNG: texel (row r, column c) is (20 + 60 c, 200 r, 100), row 0 the image's top row.
const std::string kGradient(
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x04\x00\x00\x00\x02\x08\x02"
    "\x00\x00\x00\xf0\xca\xea\x34\x00\x00\x00\x21\x49\x44\x41\x54\x78\xda\x05\xc1\x81\x00\x00\x00\x08\xc0\xb0"
    "\x43\x04\x16\xc4\x71\x02\x3b\x56\x1b\x83\x8b\x87\x21\x93\x9b\x97\xe5\x03\x63\x02\x09\xb1\xe6\x62\x01\xea"
    "\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82", 90);

Vec3 texel(float r, float g, float b) { return {r / 255.0f, g / 255.0f, b / 255.0f}; }

class MeshTextures : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/lumo-textures-XXXXXX";
        ASSERT_TRUE(mkdtemp(name));
        dir_ = name;
        write("grad.png", kGradient);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // A new file each time: rewriting one in place can wait for the old bytes to reach the disk.
    void write(const std::string& name, const std::string& bytes) {
        std::filesystem::remove(dir_ + "/" + name);
        std::ofstream(dir_ + "/" + name, std::ios::binary) << bytes;
    }
    SceneFileResult meshScene(const std::string& file) {
        write("s.json", R"({ "version": 1, "light": { "position": [1, 2, 3] }, "objects": [{ "shape": "mesh", "file": ")" +
                            file + "\" }] }");
        return loadSceneFile(dir_ + "/s.json");
    }

    std::string dir_;
};

// The colour the shaders see at world point p of the scene's mesh.
Vec3 colourAt(const Scene& s, const Vec3& p) {
    const MeshStore& m = s.meshes;
    for (uint32_t t = 0; t < m.triangleCount(); ++t) {
        const uint32_t* i = m.triangle(t);
        const Vec3 a = m.positions[i[0]], e1 = sub(m.positions[i[1]], a), e2 = sub(m.positions[i[2]], a), w = sub(p, a);
        const double d11 = dot(e1, e1), d12 = dot(e1, e2), d22 = dot(e2, e2), w1 = dot(w, e1), w2 = dot(w, e2);
        const double det = d11 * d22 - d12 * d12;
        const double u = (w1 * d22 - w2 * d12) / det, v = (w2 * d11 - w1 * d12) / det;
        if (u < -1e-6 || v < -1e-6 || u + v > 1 + 1e-6) continue;
        HitRecord hit{};
        hit.object = m.object(t);
        hit.triangle = t;
        hit.u = static_cast<float>(u);
        hit.v = static_cast<float>(v);
        return varyingColour(hit, *hit.object->material);
    }
    ADD_FAILURE() << "no triangle holds the point";
    return {};
}

void expectColour(const Vec3& got, const Vec3& want, const char* what) {
    EXPECT_NEAR(got.x, want.x, 1e-5f) << what;
    EXPECT_NEAR(got.y, want.y, 1e-5f) << what;
    EXPECT_NEAR(got.z, want.z, 1e-5f) << what;
}

// A quad 2 wide and 1 high standing on the ground (x from 0 to 2, z from 0 to 1), its texture upright
// as seen from -y, colour factor (0.5, 1, 0.25), vertex colours red 1 at the bottom and 0 at the top.
// The point (0.25, 0, 0.75) lies on the centre of the image's top-left texel; (0.5, 0, 0.5) half-way
// between the centres of the top-left four.
void expectQuadColours(const Scene& s) {
    expectColour(colourAt(s, {0.25f, 0.0f, 0.75f}), mulComponents({0.5f * 0.25f, 1.0f, 0.25f}, texel(20, 0, 100)),
                 "top-left texel");
    expectColour(colourAt(s, {0.5f, 0.0f, 0.5f}), mulComponents({0.5f * 0.5f, 1.0f, 0.25f}, texel(50, 100, 100)),
                 "four texels blended");
}

// Positions (y-up), texture coordinates (top-left origin), RGBA bytes, indices.
std::string quadBuffer() {
    const float positions[12] = {0, 0, 0, 2, 0, 0, 2, 1, 0, 0, 1, 0};
    const float uv[8] = {0, 1, 1, 1, 1, 0, 0, 0};
    const uint8_t colours[16] = {255, 255, 255, 255, 255, 255, 255, 255, 0, 255, 255, 255, 0, 255, 255, 255};
    const uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
    std::string b(108, '\0');
    std::memcpy(b.data(), positions, 48);
    std::memcpy(b.data() + 48, uv, 32);
    std::memcpy(b.data() + 80, colours, 16);
    std::memcpy(b.data() + 96, indices, 12);
    return b;
}

std::string quadGltf(const std::string& textureInfo) {
    return R"({ "asset": { "version": "2.0" }, "scene": 0, "scenes": [{ "nodes": [0] }], "nodes": [{ "mesh": 0 }],
        "meshes": [{ "primitives": [{ "attributes": { "POSITION": 0, "TEXCOORD_0": 1, "COLOR_0": 2 }, "indices": 3, "material": 0 }] }],
        "materials": [{ "pbrMetallicRoughness": { "baseColorFactor": [0.5, 1, 0.25, 1], "baseColorTexture": )" + textureInfo + R"( } }],
        "textures": [{ "source": 0, "sampler": 0 }], "samplers": [{ "wrapS": 33648, "wrapT": 33071 }],
        "images": [{ "uri": "grad.png" }], "buffers": [{ "byteLength": 108, "uri": "q.bin" }],
        "bufferViews": [{ "buffer": 0, "byteLength": 80 }, { "buffer": 0, "byteOffset": 80, "byteLength": 16 },
                        { "buffer": 0, "byteOffset": 96, "byteLength": 12 }],
        "accessors": [{ "bufferView": 0, "componentType": 5126, "count": 4, "type": "VEC3" },
                      { "bufferView": 0, "byteOffset": 48, "componentType": 5126, "count": 4, "type": "VEC2" },
                      { "bufferView": 1, "componentType": 5121, "normalized": true, "count": 4, "type": "VEC4" },
                      { "bufferView": 2, "componentType": 5123, "count": 6, "type": "SCALAR" }] })";
}

TEST_F(MeshTextures, GltfQuadShowsItsTextureUprightFilteredAndTinted) {
    write("q.bin", quadBuffer());
    write("q.gltf", quadGltf(R"({ "index": 0 })"));
    SceneFileResult r = meshScene("q.gltf");
    ASSERT_TRUE(r.scene) << r.error;
    EXPECT_TRUE(r.warnings.empty()) << r.warnings[0];
    expectQuadColours(*r.scene);

    // The sampler's wrap modes, per axis; at s = 1.25 repeat, mirror and clamp each find other texels.
    const Material& m = *r.scene->objects[0].material;
    EXPECT_EQ(m.sampling.wrapS, TextureWrap::kMirroredRepeat);
    EXPECT_EQ(m.sampling.wrapT, TextureWrap::kClampToEdge);
    expectColour(sampleFiltered(*m.texture, m.sampling, 1.25f, -0.25f), texel(170, 0, 100), "mirror s, clamp t");
    TextureSampling repeat = m.sampling;
    repeat.wrapS = repeat.wrapT = TextureWrap::kRepeat;
    expectColour(sampleFiltered(*m.texture, repeat, 1.25f, -0.25f), texel(50, 200, 100), "repeat");
    TextureSampling clamp = m.sampling;
    clamp.wrapS = TextureWrap::kClampToEdge;
    expectColour(sampleFiltered(*m.texture, clamp, 1.25f, -0.25f), texel(200, 0, 100), "clamp");

    // A saved scene keeps how the texture is sampled.
    const SceneFileResult saved = readSceneText(sceneFileText(*r.scene), "saved.json", "");
    ASSERT_TRUE(saved.scene) << saved.error;
    const TextureSampling& back = saved.scene->objects[0].material->sampling;
    EXPECT_TRUE(back.filtered);
    EXPECT_EQ(back.wrapS, TextureWrap::kMirroredRepeat);
    EXPECT_EQ(back.wrapT, TextureWrap::kClampToEdge);

    // KHR_texture_transform: the lower-left quadrant turned a quarter (uv (1, 0) -> (0, 0.5)); another
    // coordinate set is named in a warning.
    write("q.gltf", quadGltf(R"({ "index": 0, "extensions": { "KHR_texture_transform":
        { "offset": [0, 1], "rotation": 1.5707963268, "scale": [0.5, 0.5], "texCoord": 1 } } })"));
    r = meshScene("q.gltf");
    ASSERT_TRUE(r.scene) << r.error;
    const float* t = r.scene->objects[0].material->sampling.transform;
    const float want[6] = {0.0f, 0.5f, 0.0f, -0.5f, 0.0f, 1.0f};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(t[i], want[i], 1e-7f) << i;
    const SceneFileResult savedTransform = readSceneText(sceneFileText(*r.scene), "saved.json", "");
    ASSERT_TRUE(savedTransform.scene) << savedTransform.error;
    EXPECT_EQ(savedTransform.scene->objects[0].material->sampling.transform[3], t[3]);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("TEXCOORD_1, which is not supported"), std::string::npos) << r.warnings[0];
}

TEST_F(MeshTextures, ObjQuadShowsItsTextureUprightFilteredAndTinted) {
    write("q.mtl", "newmtl Q\nKd 0.5 1 0.25\nmap_Kd grad.png\n");
    write("q.obj",
          "mtllib q.mtl\nv 0 0 0 1 1 1\nv 2 0 0 1 1 1\nv 2 0 1 0 1 1\nv 0 0 1 0 1 1\n"
          "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nusemtl Q\nf 1/1 2/2 3/3 4/4\n");
    const SceneFileResult r = meshScene("q.obj");
    ASSERT_TRUE(r.scene) << r.error;
    expectQuadColours(*r.scene);
    EXPECT_EQ(r.scene->objects[0].material->sampling.wrapS, TextureWrap::kRepeat);

    // Without vertex colours the store keeps none.
    write("q.obj", "v 0 0 0\nv 2 0 0\nv 2 0 1 0.5\nf 1 2 3\n");
    const SceneFileResult plain = meshScene("q.obj");
    ASSERT_TRUE(plain.scene) << plain.error;
    EXPECT_TRUE(plain.scene->meshes.colours.empty());
    EXPECT_FALSE(plain.scene->objects[0].flags & kVertexColours);
}

// The glTF quad as a GLB: JSON chunk, then a binary chunk with the buffer and the PNG.
std::string quadGlb() {
    std::string json = quadGltf(R"({ "index": 0 })");
    json.replace(json.find(R"("uri": "grad.png")"), 17, R"("bufferView": 3, "mimeType": "image/png")");
    json.replace(json.find(R"("byteLength": 108, "uri": "q.bin")"), 33, R"("byteLength": 198)");
    json.replace(json.find(R"("byteLength": 12 }])"), 19, R"("byteLength": 12 }, { "buffer": 0, "byteOffset": 108, "byteLength": 90 }])");
    json.resize((json.size() + 3) & ~size_t{3}, ' ');
    std::string bin = quadBuffer() + kGradient;
    bin.resize((bin.size() + 3) & ~size_t{3}, '\0');
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    return "glTF" + u32(2) + u32(static_cast<uint32_t>(28 + json.size() + bin.size())) + u32(static_cast<uint32_t>(json.size())) +
           "JSON" + json + u32(static_cast<uint32_t>(bin.size())) + std::string("BIN\0", 4) + bin;
}

// Seeded random edits of small valid meshes (bits flipped, cut short, stretches repeated, bytes
// replaced): each gives a scene or one error line, never a crash.
TEST_F(MeshTextures, MutatedMeshFilesNeverCrashTheReaders) {
    write("q.bin", quadBuffer());
    write("q.mtl", "newmtl Q\nKd 0.5 1 0.25\nmap_Kd grad.png\n");
    const std::pair<std::string, std::string> files[] = {
        {"m.obj", "mtllib q.mtl\nv 0 0 0 1 1 1\nv 2 0 0 1 1 1\nv 2 0 1 0 1 1\nv 0 0 1\nvt 0 0\nvt 1 0\nvt 1 1\n"
                  "vn 0 -1 0\nusemtl Q\nf 1/1/1 2/2/1 3/3/1 4/1/1\nf -1 -2 -3\n"},
        {"m.gltf", quadGltf(R"({ "index": 0, "extensions": { "KHR_texture_transform": { "scale": [2, 2] } } })")},
        {"m.glb", quadGlb()}};
    std::mt19937 rng(20261208);
    for (const auto& [name, good] : files) {
        SCOPED_TRACE(name);
        write(name, good);
        const SceneFileResult original = meshScene(name);
        ASSERT_TRUE(original.scene) << original.error;
        int loaded = 0, refused = 0;
        for (int i = 0; i < 200; ++i) {
            std::string bytes = good;
            for (int e = 1 + static_cast<int>(rng() % 3); e > 0 && !bytes.empty(); --e) {
                const size_t at = rng() % bytes.size();
                switch (rng() % 4) {
                    case 0: bytes[at] = static_cast<char>(bytes[at] ^ (1 << (rng() % 8))); break;
                    case 1: bytes.resize(at); break;
                    case 2: bytes.insert(rng() % bytes.size(), bytes.substr(at, 1 + rng() % 40)); break;
                    default: bytes[at] = "0123456789-.e/ \n{}[]:,\"\xff"[rng() % 24]; break;
                }
            }
            write(name, bytes);
            const SceneFileResult r = meshScene(name);
            if (r.scene) {
                ++loaded;
            } else {
                ++refused;
                EXPECT_NE(r.error.find("s.json: objects[0].file: "), std::string::npos) << r.error;
                EXPECT_EQ(r.error.find('\n'), std::string::npos) << r.error;
                EXPECT_EQ(r.error.find("[json"), std::string::npos) << r.error;  // the parser's own words
            }
        }
        // Both outcomes occur: the edits reach past the first checks.
        EXPECT_GT(loaded, 3);
        EXPECT_GT(refused, 50);
    }
}

}  // namespace
}  // namespace lumo
