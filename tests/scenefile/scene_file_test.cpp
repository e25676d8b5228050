// Scene files: every shape kind as the scene builders make it, meshes, the round trip of the demo
// scenes, and bad input answered with one line that names the place.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "scene/demo_scenes.h"
#include "scenefile/scene_file.h"
#include "support/render_support.h"

namespace lumo {
namespace {

const std::string kData = LUMO_TEST_DATA "/scenes/";
constexpr float kDeg = 3.14159265358979323846f / 180.0f;

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

Matrix34 steps(std::initializer_list<std::function<void(Matrix34&)>> ops) {
    Matrix34 m;
    setIdentity(m);
    for (const auto& op : ops) op(m);
    return m;
}

void expectMatrix(const Matrix34& a, const Matrix34& b, const char* what) {
    for (int i = 0; i < 12; ++i) EXPECT_FLOAT_EQ(a.m[i], b.m[i]) << what << " element " << i;
}
void expectVec(const Vec3& a, const Vec3& b, const char* what) {
    EXPECT_FLOAT_EQ(a.x, b.x) << what;
    EXPECT_FLOAT_EQ(a.y, b.y) << what;
    EXPECT_FLOAT_EQ(a.z, b.z) << what;
}

// The payload fields that decide a shape, with attached matrices compared by value.
void expectSameShape(const SceneObject& got, const SceneObject& want) {
    ASSERT_EQ(got.type, want.type);
    EXPECT_EQ(got.flags, want.flags) << "shape " << want.type;
    switch (want.type) {
        case kTriangle:
        case kParallelogram:
            expectVec(got.patch.origin, want.patch.origin, "origin");
            expectVec(got.patch.edgeA, want.patch.edgeA, "edgeA");
            expectVec(got.patch.edgeB, want.patch.edgeB, "edgeB");
            expectVec(got.patch.normal, want.patch.normal, "normal");
            EXPECT_EQ(got.patch.solveCase, want.patch.solveCase);
            EXPECT_FLOAT_EQ(got.patch.inverseDeterminant, want.patch.inverseDeterminant);
            return;
        case kSphere:
            expectVec(got.sphere.centre, want.sphere.centre, "centre");
            EXPECT_FLOAT_EQ(got.sphere.radiusSquared, want.sphere.radiusSquared);
            return;
        case kRevolved:
            expectMatrix(got.revolved.worldToLocal, want.revolved.worldToLocal, "revolved");
            expectMatrix(got.revolved.normalTransform->matrix, want.revolved.normalTransform->matrix, "normals");
            EXPECT_FLOAT_EQ(got.revolved.taper, want.revolved.taper);
            EXPECT_FLOAT_EQ(got.revolved.sweep, want.revolved.sweep);
            return;
        case kDisc:
            expectVec(got.disc.centre, want.disc.centre, "centre");
            expectVec(got.disc.normal, want.disc.normal, "normal");
            EXPECT_FLOAT_EQ(got.disc.outerRadiusSquared, want.disc.outerRadiusSquared);
            EXPECT_FLOAT_EQ(got.disc.innerRadiusSquared, want.disc.innerRadiusSquared);
            return;
        case kTorus:
            expectMatrix(got.torus.worldToLocal, want.torus.worldToLocal, "torus");
            expectMatrix(got.torus.normalTransform->matrix, want.torus.normalTransform->matrix, "normals");
            EXPECT_FLOAT_EQ(got.torus.sweep, want.torus.sweep);
            EXPECT_FLOAT_EQ(got.torus.tubeStart, want.torus.tubeStart);
            EXPECT_FLOAT_EQ(got.torus.tubeEnd, want.torus.tubeEnd);
            EXPECT_FLOAT_EQ(got.torus.majorRadius, want.torus.majorRadius);
            EXPECT_FLOAT_EQ(got.torus.minorRadius, want.torus.minorRadius);
            return;
        case kSphereSection:
            expectMatrix(got.section.worldToLocal, want.section.worldToLocal, "section");
            expectVec(got.section.centre, want.section.centre, "centre");
            EXPECT_FLOAT_EQ(got.section.radiusSquared, want.section.radiusSquared);
            EXPECT_FLOAT_EQ(got.section.sweep, want.section.sweep);
            EXPECT_FLOAT_EQ(got.section.latitudeMin, want.section.latitudeMin);
            EXPECT_FLOAT_EQ(got.section.latitudeMax, want.section.latitudeMax);
            return;
        case kParaboloid:
            expectMatrix(got.paraboloid.worldToLocal, want.paraboloid.worldToLocal, "paraboloid");
            expectMatrix(got.paraboloid.normalTransform->matrix, want.paraboloid.normalTransform->matrix, "normals");
            EXPECT_FLOAT_EQ(got.paraboloid.heightMax, want.paraboloid.heightMax);
            EXPECT_FLOAT_EQ(got.paraboloid.sweep, want.paraboloid.sweep);
            return;
        case kEllipsoidSection:
            expectMatrix(got.ellipsoid.worldToLocal, want.ellipsoid.worldToLocal, "ellipsoid");
            expectMatrix(got.ellipsoid.normalTransform->matrix, want.ellipsoid.normalTransform->matrix, "normals");
            EXPECT_FLOAT_EQ(got.ellipsoid.sweep, want.ellipsoid.sweep);
            EXPECT_FLOAT_EQ(got.ellipsoid.latitudeMin, want.ellipsoid.latitudeMin);
            EXPECT_FLOAT_EQ(got.ellipsoid.latitudeMax, want.ellipsoid.latitudeMax);
            return;
        case kDiscSector:
            expectMatrix(got.sector.worldToLocal, want.sector.worldToLocal, "sector");
            expectVec(got.sector.centre, want.sector.centre, "centre");
            expectVec(got.sector.normal, want.sector.normal, "normal");
            EXPECT_FLOAT_EQ(got.sector.outerRadiusSquared, want.sector.outerRadiusSquared);
            EXPECT_FLOAT_EQ(got.sector.innerRadiusSquared, want.sector.innerRadiusSquared);
            EXPECT_FLOAT_EQ(got.sector.sweep, want.sector.sweep);
            return;
    }
    ADD_FAILURE() << "unknown type " << want.type;
}

TEST(SceneFile, EveryShapeKindIsTheShapeTheBuildersMake) {
    const SceneFileResult r = loadSceneFile(kData + "good.json");
    ASSERT_TRUE(r.scene) << r.error;
    EXPECT_TRUE(r.warnings.empty());
    const Scene& s = *r.scene;
    ASSERT_EQ(s.objectCount(), 12u);

    // The same shapes built in code, the way the demo scenes build theirs.
    Scene want;
    auto patch = [&](ShapeType type, Vec3 o, Vec3 a, Vec3 b, uint16_t flags) {
        SceneObject& x = want.newObject();
        initPlanarPatch(x);
        x.type = type;
        x.flags = flags;
        x.patch.origin = o, x.patch.edgeA = a, x.patch.edgeB = b;
        prepareParallelogram(x);
    };
    auto normals = [&](const Matrix34& m) {
        ShapeTransform& t = want.newTransform();
        t.matrix = normalMatrix(m);
        return &t;
    };
    patch(kTriangle, {0.6f, 0, 0}, {-0.3f, 0, 1}, {-0.6f, 0, 0}, kOneSided);
    patch(kParallelogram, {-2, -2, 0}, {4, 0, 0}, {0, 4, 0}, kCheckered | kNoShadowCast);
    SceneObject& ball = want.newObject();
    initSphere(ball);
    ball.flags = kNoShadowTest;
    ball.sphere.centre = {0, 0, 1}, ball.sphere.radiusSquared = 0.25f;
    const Matrix34 cone = steps({[](Matrix34& m) { scaleBy(m, 0.45f, 0.45f, 2); },
                                 [](Matrix34& m) { translateBy(m, -1.3f, 0, 0); }});
    SceneObject& rev = want.newObject();
    initRevolvedShape(rev);
    rev.revolved.worldToLocal = inverse(cone), rev.revolved.taper = 1, rev.revolved.sweep = 270 * kDeg;
    rev.revolved.normalTransform = normals(cone);
    SceneObject& disc = want.newObject();
    initDisc(disc);
    disc.disc.centre = {1, -1, 0.5f}, disc.disc.normal = {0, 0, 1};
    disc.disc.outerRadiusSquared = 0.0625f, disc.disc.innerRadiusSquared = 0.01f;
    // File rotations turn by the right-hand rule, the builders' rotateX and rotateY the other way.
    const Matrix34 ring = steps({[](Matrix34& m) { rotateX(m, -45 * kDeg); },
                                 [](Matrix34& m) { translateBy(m, 0, 0, 1.2f); }});
    SceneObject& torus = want.newObject();
    initTorus(torus);
    torus.torus.worldToLocal = inverse(ring), torus.torus.normalTransform = normals(ring);
    torus.torus.majorRadius = 0.6f, torus.torus.minorRadius = 0.2f, torus.torus.sweep = 180 * kDeg;
    torus.torus.tubeStart = -90 * kDeg, torus.torus.tubeEnd = 180 * kDeg;
    const Matrix34 bowl = steps({[](Matrix34& m) { scaleBy(m, 0.75f, 0.75f, 0.75f); },
                                 [](Matrix34& m) { translateBy(m, 0, 0, 0.75f); }});
    SceneObject& section = want.newObject();
    initSphereSection(section);
    section.flags = kSqrtEmitter;
    section.section.worldToLocal = inverse(bowl), section.section.centre = {0, 0, 0.75f};
    section.section.radiusSquared = 0.5625f, section.section.sweep = 360 * kDeg, section.section.latitudeMax = 0;
    Matrix34 dish;
    const float dishM[12] = {0.5f, 0, 0, 0, 0.5f, 0, 0, 0, 1, 1, 1, 0};
    std::memcpy(dish.m, dishM, sizeof dishM);
    SceneObject& para = want.newObject();
    initParaboloid(para);
    para.paraboloid.worldToLocal = inverse(dish), para.paraboloid.normalTransform = normals(dish);
    para.paraboloid.heightMax = 0.8f, para.paraboloid.sweep = 200 * kDeg;
    const Matrix34 egg = steps({[](Matrix34& m) { scaleBy(m, 0.75f, 0.75f, 1); }, [](Matrix34& m) { rotateZ(m, 30 * kDeg); },
                                [](Matrix34& m) { translateBy(m, 0, 0, 0.75f); }});
    SceneObject& top = want.newObject();
    initEllipsoidSection(top);
    top.ellipsoid.worldToLocal = inverse(egg), top.ellipsoid.normalTransform = normals(egg);
    top.ellipsoid.latitudeMin = 0, top.ellipsoid.sweep = 360 * kDeg;
    const Matrix34 fan = steps({[](Matrix34& m) { rotateY(m, -90 * kDeg); }, [](Matrix34& m) { translateBy(m, -1, 1, 0.5f); }});
    SceneObject& sector = want.newObject();
    initDiscSector(sector);
    sector.flags = kFlipNormal | kHiddenFromCamera;
    sector.sector.worldToLocal = inverse(fan), sector.sector.centre = {-1, 1, 0.5f};
    sector.sector.normal = normalize(transformDirection({0, 0, 1}, normalMatrix(fan)));
    sector.sector.outerRadiusSquared = 0.25f, sector.sector.innerRadiusSquared = 0.04f, sector.sector.sweep = 90 * kDeg;
    SceneObject& lamp = want.newObject();
    initSphere(lamp);
    lamp.flags = kNoShadowCast | kNoShadowTest;
    lamp.sphere.centre = {1, 0, 1}, lamp.sphere.radiusSquared = 0.01f;
    patch(kParallelogram, {-0.3f, -0.3f, 2.98f}, {0, 0.6f, 0}, {0.6f, 0, 0}, kNoShadowCast | kNoShadowTest);

    for (size_t i = 0; i < want.objects.size(); ++i) {
        SCOPED_TRACE("object " + std::to_string(i));
        expectSameShape(s.objects[i], want.objects[i]);
    }

    // Attachments, materials, free and untraced objects, light, camera, photon switches.
    const PlanarPatch& tri = s.objects[0].patch;
    ASSERT_TRUE(tri.attributes && tri.attributes->vertexNormals && tri.attributes->textureCorners);
    expectVec(tri.attributes->vertexNormals[2], {0.1f, -1, 0}, "third normal");
    EXPECT_FLOAT_EQ(tri.attributes->textureCorners->t[2], 1.0f);
    ASSERT_TRUE(s.objects[3].revolved.normalTransform->textureCorners);
    EXPECT_FLOAT_EQ(s.objects[3].revolved.normalTransform->textureCorners->s[3], 1.0f);
    const Material& tiles = *s.objects[0].material;
    EXPECT_EQ(tiles.name, "Tiles");
    ASSERT_TRUE(tiles.texture && tiles.texture->pixels);
    EXPECT_EQ(tiles.texture->pixels[0], 0);  // blue-green-red: the first texel is red
    EXPECT_EQ(tiles.texture->pixels[2], 255);
    EXPECT_EQ(tiles.texture->pixels[3], 255);
    EXPECT_TRUE(s.objects[3].material->texture && !s.objects[3].material->texture->pixels);
    const Material& glass = *s.objects[2].material;
    EXPECT_EQ(glass.kind, 0);
    EXPECT_FLOAT_EQ(glass.transmission, -1.0f);
    EXPECT_FLOAT_EQ(glass.iorBase, 1.54f);
    EXPECT_FLOAT_EQ(glass.iorCoeff, 12.5f);
    EXPECT_FLOAT_EQ(glass.iorPole, 100.0f);
    EXPECT_EQ(s.objects[1].material->kind, 1);
    EXPECT_EQ(s.freeObject, &s.objects[10]);
    EXPECT_EQ(s.objects[10].leafCount, 0u);
    EXPECT_EQ(s.objects[11].leafCount, 0u);
    EXPECT_GT(s.objects[1].leafCount, 0u);
    EXPECT_EQ(s.light.object, &s.objects[11]);
    EXPECT_FLOAT_EQ(s.light.area, 0.36f);
    EXPECT_FLOAT_EQ(s.light.intensity, 0.8f);
    const Camera& c = s.camera;
    expectVec(c.orbitCentre, {0, 0, 0.25f}, "orbit centre");
    Camera eye = c;
    placeEyeOnOrbit(eye);
    EXPECT_NEAR(eye.eyePosition.x, 4.0f, 1e-5f);
    EXPECT_NEAR(eye.eyePosition.y, -6.0f, 1e-5f);
    EXPECT_NEAR(eye.eyePosition.z, 3.0f, 1e-5f);
    EXPECT_FLOAT_EQ(c.fieldOfView, 30 * kDeg);
    const SceneDescriptor& d = s.descriptor;
    EXPECT_TRUE(d.offersCaustics && d.causticsOnSelect && d.offersGi && !d.giOnSelect);
    EXPECT_EQ(d.interpolationKernel, 3);
    EXPECT_FLOAT_EQ(d.giEstimateScale, 100.0f);
    EXPECT_EQ(r.photons.causticPhotons, 2500);
    EXPECT_EQ(r.photons.giSplit, 1000);
    EXPECT_EQ(r.photons.giOnlyIndirect, 0);
}

TEST(SceneFile, DegenerateShapesAreSkippedAndCountedInOneWarning) {
    const std::string text = R"({ "version": 1, "light": { "position": [1, 2, 3] }, "materials": [{ "name": "M" }],
        "objects": [
          { "shape": "sphere", "material": "M", "centre": [0, 0, 0], "radius": 0 },
          { "shape": "triangle", "material": "M", "origin": [0, 0, 0], "edgeA": [1, 1, 1], "edgeB": [2, 2, 2] },
          { "shape": "torus", "material": "M", "transform": [{ "scale": [1, 0, 1] }] },
          { "shape": "sphere", "material": "M", "centre": [0, 0, 0], "radius": 1 } ] })";
    const SceneFileResult r = readSceneText(text, "flat.json", "");
    ASSERT_TRUE(r.scene) << r.error;
    EXPECT_EQ(r.scene->objectCount(), 1u);
    EXPECT_EQ(r.scene->objects[0].index, 0u);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0], "flat.json: skipped 3 degenerate shapes (zero radius, zero area or a flat transform)");
}

TEST(SceneFile, MeshesFromObjAndGltf) {
    const SceneFileResult r = loadSceneFile(kData + "mesh.json");
    ASSERT_TRUE(r.scene) << r.error;
    const Scene& s = *r.scene;
    // Two OBJ quads of two triangles each (the zero-area face skipped) and one glTF triangle.
    ASSERT_EQ(s.objectCount(), 5u);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("skipped 2 degenerate"), std::string::npos) << r.warnings[0];
    const SceneObject& first = s.objects[0];
    EXPECT_EQ(first.type, kTriangle);
    expectVec(first.patch.origin, {0, 0, 1}, "placed by the transform");
    EXPECT_EQ(first.material->name, "Red");
    expectVec(first.material->diffuse, {0.9f, 0.1f, 0.1f}, "MTL Kd");
    EXPECT_FLOAT_EQ(first.material->phongExponent, 25.0f);
    EXPECT_FLOAT_EQ(first.material->reflectivity, 0.5f);
    ASSERT_TRUE(first.patch.attributes && first.patch.attributes->vertexNormals);
    expectVec(first.patch.attributes->vertexNormals[2], {0, 0.6f, 0.8f}, "vn of the third corner");
    EXPECT_FLOAT_EQ(first.patch.attributes->textureCorners->s[1], 1.0f);
    // The second copy: the scene's material, flat.
    EXPECT_EQ(s.objects[2].material->name, "Paint");
    EXPECT_FALSE(s.objects[2].patch.attributes->vertexNormals);
    // glTF: node transforms (parent translation, child scale) and the base colour.
    const SceneObject& g = s.objects[4];
    expectVec(g.patch.origin, {0, 0, 2}, "glTF origin");
    expectVec(g.patch.edgeA, {2, 0, 0}, "glTF edge");
    expectVec(g.material->diffuse, {0.1f, 0.6f, 0.5f}, "base colour");
}

// The demo scenes written and read back render the same picture, and writing again gives the same text.
TEST(SceneFile, DemoScenesRoundTrip) {
    for (int id = 1; id <= kSceneCount; ++id) {
        SCOPED_TRACE(findDemoScene(id)->cliName);
        test::TestRender original(id);
        animateScene(*original.scene, 3000.0);
        const std::string text = sceneFileText(*original.scene);
        SceneFileResult back = readSceneText(text, "saved.json", "");
        ASSERT_TRUE(back.scene) << back.error;
        EXPECT_EQ(sceneFileText(*back.scene), text);
        test::TestRender loaded(std::move(back.scene));
        loaded.params = original.params;
        const FrameBuffer a = original.frame(64, 48, 3000.0, false);
        const FrameBuffer b = loaded.frame(64, 48, 0.0, false);
        size_t same = 0;
        for (size_t i = 0; i < a.pixels.size(); ++i) same += a.pixels[i] == b.pixels[i];
        EXPECT_GE(same, a.pixels.size() * 999 / 1000);
    }
}

struct BadFile {
    const char* file;
    std::string message;  // what the one line says after the file's path
};

TEST(SceneFile, BrokenFilesGiveOneLineNamingThePlace) {
    const BadFile corpus[] = {
        {"syntax.json", "syntax.json:3:32: malformed JSON: syntax error while parsing array"},
        {"no_material.json", "objects[0].material: no material is named 'M'"},
        {"unknown_key.json", "objects[0].radious: unknown key"},
        {"wrong_type.json", "light.position[1]: expected a number, got a string"},
        {"infinite.json", "infinite.json: malformed JSON: number overflow parsing '1e999'"},
        {"float_overflow.json", "light.position[2]: the number is too large for single precision"},
        {"version.json", "version: version 2 is not known"},
        {"no_version.json", "the key 'version' is missing"},
        {"not_object.json", "expected an object, got an array"},
        {"empty.json", "empty.json:1:1: malformed JSON"},
        {"missing_mesh.json", "objects[0].file: " + kData + "bad/missing.obj: cannot be read: No such file or directory"},
        {"broken_mesh.json", "objects[0].file: " + kData + "bad/broken.obj:3: face corner '7' names vertex 7 of 2"},
        {"gltf_past_end.json", "past_end.gltf: accessor 1 reaches past the end of its buffer"},
        {"gltf_loop.json", "objects[0].file: " + kData + "bad/loop.gltf: the node hierarchy is deeper than 64 levels or loops"},
        {"absurd_photons.json", "photons.gi.photons: 2e+09 is out of range"},
        {"absurd_texture.json", "materials[0].texture.pixels: expected 16777216 elements, got 0"},
        {"unknown_shape.json", "objects[0].shape: no shape is named 'cube'"},
        {"light_not_parallelogram.json", "light.object: the light's object must be a parallelogram"},
        {"straight_down.json", "camera.lookAt: the view is straight up or down"},
        {"unknown_flag.json", "objects[0].flags[0]: no flag is named 'shiny'"},
        {"duplicate_material.json", "materials[1].name: a second material is named 'M'"},
        {"nothing-here.json", "nothing-here.json: cannot be read: No such file or directory"},
    };
    for (const BadFile& bad : corpus) {
        const SceneFileResult r = loadSceneFile(kData + "bad/" + bad.file);
        EXPECT_FALSE(r.scene) << bad.file;
        EXPECT_NE(r.error.find(bad.message), std::string::npos) << bad.file << ": " << r.error;
        EXPECT_EQ(r.error.find('\n'), std::string::npos) << r.error;
    }
}

// Seeded random edits of a valid file: each gives a scene or one error line, never a crash.
TEST(SceneFile, MutatedFilesNeverCrashTheLoader) {
    const std::string good = readText(kData + "good.json");
    ASSERT_FALSE(good.empty());
    const char* tokens[] = {"1e999", "-1e40", "NaN", "null", "\"x\"", "[]", "{}", "0", "-0", "true", "1e-45",
                            "[1,2]", "\"mesh\"", "4294967296", "-7", "\"\\u0000\""};
    std::mt19937 rng(20261207);
    int loaded = 0, refused = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string text = good;
        const int edits = 1 + static_cast<int>(rng() % 3);
        for (int e = 0; e < edits; ++e) {
            const size_t at = rng() % text.size();
            switch (rng() % 5) {
                case 0: text.erase(at, 1 + rng() % 8); break;
                case 1: text = text.substr(0, at) + static_cast<char>(rng() % 128) + text.substr(at); break;
                case 2: text[at] = "{}[]:,\"0-.e"[rng() % 11]; break;
                case 3: {  // a number or value replaced by an odd one
                    const size_t start = text.find_first_of("0123456789", at);
                    if (start == std::string::npos) break;
                    const size_t end = text.find_first_not_of("0123456789.-e", start);
                    text.replace(start, end - start, tokens[rng() % (sizeof tokens / sizeof *tokens)]);
                    break;
                }
                default: {  // a stretch repeated
                    const size_t len = std::min<size_t>(1 + rng() % 60, text.size() - at);
                    const size_t to = rng() % text.size();
                    text = text.substr(0, to) + text.substr(at, len) + text.substr(to);
                    break;
                }
            }
            if (text.empty()) text.push_back('{');
        }
        const SceneFileResult r = readSceneText(text, "mutant.json", kData);
        if (r.scene) {
            ++loaded;
        } else {
            ++refused;
            EXPECT_EQ(r.error.rfind("mutant.json", 0), 0u) << r.error;
            EXPECT_EQ(r.error.find('\n'), std::string::npos) << r.error;
        }
    }
    // Both outcomes occur: the mutations reach past the JSON syntax into the scene's own checks.
    EXPECT_GT(loaded, 50);
    EXPECT_GT(refused, 1000);
}

}  // namespace
}  // namespace lumo
