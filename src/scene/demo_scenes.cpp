#include "scene/demo_scenes.h"

#include <cctype>
#include <cmath>


namespace lumo {

namespace {

// Angle of the three-fold symmetric arrangements (two thirds of pi, as the scenes round it).
constexpr float kThirdTurn = 2.0944f;

Matrix34 identityMatrix() {
    Matrix34 m;
    setIdentity(m);
    return m;
}

// Helpers that build one scene's content in its Scene, in the builders' order.
class SceneBuilder {
public:
    explicit SceneBuilder(Scene& scene) : s_(scene) {}

    Material& material(const char* name, Vec3 diffuse, float reflectivity, float exponent, int kind) {
        Material& m = s_.newMaterial(name);
        m.diffuse = diffuse;
        m.reflectivity = reflectivity;
        m.phongExponent = exponent;
        m.kind = kind;
        return m;
    }

    Material& glass(const char* name, Vec3 diffuse, float reflectivity, float exponent) {
        Material& m = material(name, diffuse, reflectivity, exponent, 0);
        m.transmission = -1.0f;
        m.iorBase = 1.54f;
        return m;
    }

    SceneObject& patch(ShapeType type, Vec3 origin, Vec3 a, Vec3 b, const Material& m, uint16_t flags) {
        SceneObject& o = s_.newObject();
        initPlanarPatch(o);
        o.type = type;
        o.flags = flags;
        o.material = &m;
        o.patch.origin = origin;
        o.patch.edgeA = a;
        o.patch.edgeB = b;
        prepareParallelogram(o);
        return o;
    }

    SceneObject& ground(const Material& m, uint16_t flags) {
        return patch(kParallelogram, {-2, -2, 0}, {4, 0, 0}, {0, 4, 0}, m, flags);
    }

    SceneObject& sphere(Vec3 centre, float radiusSquared, const Material& m, uint16_t flags) {
        SceneObject& o = s_.newObject();
        initSphere(o);
        o.flags = flags;
        o.material = &m;
        o.sphere.centre = centre;
        o.sphere.radiusSquared = radiusSquared;
        return o;
    }

    SceneObject& revolved(const Matrix34& placement, float taper, const Material& m) {
        SceneObject& o = s_.newObject();
        initRevolvedShape(o);
        o.material = &m;
        o.revolved.worldToLocal = inverse(placement);
        o.revolved.taper = taper;
        o.revolved.normalTransform = &normalTransform(placement);
        return o;
    }

    SceneObject& disc(Vec3 centre, Vec3 normal, float outerRadiusSquared, const Material& m) {
        SceneObject& o = s_.newObject();
        initDisc(o);
        o.material = &m;
        o.disc.centre = centre;
        o.disc.normal = normal;
        o.disc.outerRadiusSquared = outerRadiusSquared;
        o.disc.innerRadiusSquared = 0.0f;
        return o;
    }

    ShapeTransform& normalTransform(const Matrix34& placement) {
        ShapeTransform& t = s_.newTransform();
        t.matrix = normalMatrix(placement);
        return t;
    }

    // Five or six faces of a unit box centred on the local origin, placed by M (corners) and its
    // linear part R (edges); every face normal points outwards.
    void boxFaces(const Matrix34& m, const Matrix34& r, const Material& mat, uint16_t flags, bool withBottom,
                  KdNode& leaf, int firstSlot) {
        const Vec3 low = transformPoint({-0.5f, -0.5f, -0.5f}, m);
        const Vec3 high = transformPoint({0.5f, 0.5f, 0.5f}, m);
        auto dir = [&r](float x, float y, float z) { return transformPoint({x, y, z}, r); };
        struct Face {
            bool atHigh;
            Vec3 a, b;
        };
        const Face cube[6] = {
            {false, dir(0, 1, 0), dir(1, 0, 0)},   {false, dir(0, 0, 1), dir(0, 1, 0)},
            {false, dir(1, 0, 0), dir(0, 0, 1)},   {true, dir(-1, 0, 0), dir(0, -1, 0)},
            {true, dir(0, -1, 0), dir(0, 0, -1)},  {true, dir(0, 0, -1), dir(-1, 0, 0)},
        };
        // The blocks of the box scene have no bottom face and list their faces in their own order.
        const int blockOrder[5] = {4, 5, 1, 2, 3};
        for (int i = 0; i < (withBottom ? 6 : 5); ++i) {
            const Face& f = withBottom ? cube[i] : cube[blockOrder[i]];
            SceneObject& o = patch(kParallelogram, f.atHigh ? high : low, f.a, f.b, mat, flags);
            if (firstSlot >= 0) slot(firstSlot + i, o);
            s_.append(leaf, o);
        }
    }

    void slot(int n, SceneObject& o) { s_.animatedObjects[n] = &o; }
    void append(KdNode& leaf, SceneObject& o) { s_.append(leaf, o); }
    KdNode& leaf() { return s_.newLeaf(); }
    Scene& scene() { return s_; }

    void finish(Vec3 boundsMax, SceneObject* freeObject = nullptr, Vec3 boundsMin = {-2.0f, -2.0f, -0.001f}) {
        s_.bounds = {boundsMin, boundsMax};
        s_.freeObject = freeObject;
    }

private:
    Scene& s_;
};

void buildMirrorsphere(SceneBuilder& b) {
    const Material& metal = b.material("Metal", {0.9f, 0.8f, 0.2f}, 0.5f, 20, 0);
    const Material& ground = b.material("Ground", {0.2f, 0.3f, 0.8f}, 0, 20, 1);
    KdNode& leaf = b.leaf();
    SceneObject& ball = b.sphere({0, 0, 1}, 1.0f, metal, kNoShadowTest);
    b.slot(0, ball);
    b.append(leaf, ball);
    b.append(leaf, b.ground(ground, kCheckered | kNoShadowCast));
    b.finish({2, 2, 3});
    b.scene().root = &leaf;
}

void buildBalls(SceneBuilder& b) {
    const Material& gold = b.material("Gold", {0.9f, 0.8f, 0.4f}, 0.5f, 20, 0);
    const Material& silver = b.material("Silver", {0.8f, 0.8f, 0.7f}, 0.5f, 20, 0);
    const Material& copper = b.material("Copper", {0.9f, 0.6f, 0.5f}, 0.5f, 20, 0);
    const Material& ground = b.material("Ground", {0.2f, 0.3f, 0.8f}, 0.2f, 20, 1);
    KdNode& leaf = b.leaf();
    const double third = kThirdTurn;
    const Vec3 centres[3] = {{1, 0, 0.5f},
                             {static_cast<float>(std::cos(third)), static_cast<float>(std::sin(third)), 0.5f},
                             {static_cast<float>(std::cos(-third)), static_cast<float>(std::sin(-third)), 0.5f}};
    const Material* materials[3] = {&gold, &silver, &copper};
    for (int i = 0; i < 3; ++i) {
        SceneObject& ball = b.sphere(centres[i], 0.25f, *materials[i], kNoShadowTest);
        b.slot(i, ball);
        b.append(leaf, ball);
    }
    b.append(leaf, b.ground(ground, kCheckered | kNoShadowCast));
    b.finish({2, 2, 1});
    b.scene().root = &leaf;
}

void buildCube(SceneBuilder& b) {
    const Material& ground = b.material("Ground", {0.6f, 0.3f, 0.2f}, 0.2f, 20, 1);
    const Material& glass = b.glass("Glass", {0.2f, 0.9f, 0.8f}, 0.7f, 20);
    Matrix34 m = identityMatrix();
    scaleBy(m, 1.5f, 1.5f, 1.5f);
    rotateX(m, 0.78539f);
    rotateY(m, 0.61548f);
    const Matrix34 r = m;
    translateBy(m, 0, 0, 1.3f);
    KdNode& leaf = b.leaf();
    b.append(leaf, b.ground(ground, kCheckered | kNoShadowCast));
    b.boxFaces(m, r, glass, kNoShadowTest, true, leaf, 0);
    b.finish({2, 2, 2.6f});
    b.scene().root = &leaf;
}

void buildShadows1(SceneBuilder& b) {
    const Material& light = b.material("Light", {5, 5, 5}, 0, 0, 1);
    const Material& groundMat = b.material("Ground", {0.1f, 0.6f, 0.2f}, 0.2f, 20, 1);
    const Material& clay = b.material("Clay", {0.9f, 0.8f, 0.7f}, 0.2f, 5, 1);
    KdNode& leafA = b.leaf();
    KdNode& leafB = b.leaf();
    KdNode& leafC = b.leaf();
    KdNode& leafD = b.leaf();

    SceneObject& lamp = b.sphere({1, 0, 1}, 0.01f, light, kNoShadowCast | kNoShadowTest);
    b.slot(0, lamp);

    SceneObject& ground = b.ground(groundMat, kCheckered | kNoShadowCast);
    b.slot(1, ground);
    for (KdNode* leaf : {&leafA, &leafB, &leafC, &leafD}) b.append(*leaf, ground);

    // The log: a cylinder laid along the ground, closed by two discs.
    Matrix34 log = identityMatrix();
    scaleBy(log, 0.25f, 0.25f, 1.5f);
    rotateX(log, kHalfPi);
    rotateZ(log, -0.5f);
    translateBy(log, 1, -1.2f, 0.25f);
    b.append(leafD, b.revolved(log, 0.0f, clay));
    Matrix34 farEnd = identityMatrix();
    translateBy(farEnd, 0, 0, 1.5f);
    rotateX(farEnd, kHalfPi);
    rotateZ(farEnd, -0.5f);
    translateBy(farEnd, 1, -1.2f, 0.25f);
    b.append(leafD, b.disc(transformPoint({0, 0, 0}, farEnd), transformPoint({0, 0, 1}, normalMatrix(farEnd)),
                           0.0625f, clay));
    Matrix34 nearEnd = identityMatrix();
    rotateX(nearEnd, -kHalfPi);
    rotateZ(nearEnd, -0.5f);
    translateBy(nearEnd, 1, -1.2f, 0.25f);
    b.append(leafD, b.disc(transformPoint({0, 0, 0}, nearEnd), transformPoint({0, 0, 1}, normalMatrix(nearEnd)),
                           0.0625f, clay));

    Matrix34 cone = identityMatrix();
    scaleBy(cone, 0.45f, 0.45f, 2);
    translateBy(cone, -1.3f, 0, 0);
    b.append(leafA, b.revolved(cone, 1.0f, clay));

    b.append(leafB, b.sphere({0, -1, 0.5f}, 0.25f, clay, 0));
    b.append(leafB, b.patch(kTriangle, {0.6f, 0, 0}, {-0.3f, 0, 1}, {-0.6f, 0, 0}, clay, kOneSided));
    b.append(leafC, b.patch(kParallelogram, {0, 0, 0}, {0.3f, 0, 1}, {0, 0.8f, 0}, clay, kOneSided));
    b.append(leafC, b.patch(kParallelogram, {0.6f, 0, 0}, {0, 0.8f, 0}, {-0.3f, 0, 1}, clay, kOneSided));
    b.append(leafC, b.patch(kTriangle, {0.6f, 0.8f, 0}, {-0.6f, 0, 0}, {-0.3f, 0, 1}, clay, kOneSided));

    b.finish({2, 2, 2}, &lamp);
    Scene& s = b.scene();
    KdNode& slab = s.newSplit(2, 0.0f, leafB, leafC);
    KdNode& low = s.newSplit(1, -0.65f, leafA, slab);
    s.root = &s.newSplit(1, 0.7f, low, leafD);
}

void buildTorus(SceneBuilder& b) {
    const Material& plastic = b.material("Plastic", {0.9f, 0.5f, 0.2f}, 0.5f, 20, 1);
    const Material& ground = b.material("Ground", {0.2f, 0.3f, 0.8f}, 0, 20, 1);
    KdNode& leaf = b.leaf();
    Matrix34 placement = identityMatrix();
    rotateX(placement, 0.7853982f);
    translateBy(placement, 0, 0, 1.2071f);
    SceneObject& torus = b.scene().newObject();
    initTorus(torus);
    torus.material = &plastic;
    torus.torus.worldToLocal = inverse(placement);
    torus.torus.normalTransform = &b.normalTransform(placement);
    b.slot(0, torus);
    b.append(leaf, torus);
    b.append(leaf, b.ground(ground, kCheckered | kNoShadowCast));
    b.finish({2, 2, 2.5f});
    b.scene().root = &leaf;
}

void buildSpheres(SceneBuilder& b) {
    const Material& gold = b.material("Gold", {0.9f, 0.8f, 0.4f}, 0.2f, 20, 1);
    const Material& silver = b.material("Silver", {0.8f, 0.8f, 0.7f}, 0.2f, 20, 1);
    const Material& copper = b.material("Copper", {0.9f, 0.6f, 0.5f}, 0.2f, 20, 1);
    const Material& metal = b.material("Metal", {0.7f, 0.5f, 0.9f}, 0.2f, 20, 1);
    KdNode& leaf = b.leaf();
    const float c = static_cast<float>(std::cos(static_cast<double>(kThirdTurn)));
    const float s = static_cast<float>(std::sin(static_cast<double>(kThirdTurn)));
    struct Ball {
        Vec3 centre;
        float radiusSquared;
        const Material* material;
        int slot;
    };
    const Ball balls[11] = {
        {{1, 0, 1.5f}, 0.25f, &gold, 0},      {{1, 0, 0.5f}, 0.25f, &gold, -1},
        {{-1, 0, 0.5f}, 0.25f, &gold, -1},    {{c, s, 1.5f}, 0.25f, &silver, 1},
        {{c, s, 0.5f}, 0.25f, &silver, -1},   {{-c, -s, 0.5f}, 0.25f, &silver, -1},
        {{c, -s, 1.5f}, 0.25f, &copper, 2},   {{c, -s, 0.5f}, 0.25f, &copper, -1},
        {{-c, s, 0.5f}, 0.25f, &copper, -1},  {{0, 0, 1}, 0.6f, &metal, -1},
        {{0, 0, 1.6f}, 0.2f, &metal, -1},
    };
    for (const Ball& ball : balls) {
        SceneObject& o = b.sphere(ball.centre, ball.radiusSquared, *ball.material, kNoShadowTest);
        if (ball.slot >= 0) b.slot(ball.slot, o);
        b.append(leaf, o);
    }
    b.finish({2, 2, 2.5f});
    b.scene().root = &leaf;
}

void buildAreaLight(SceneBuilder& b) {
    const Material& light = b.material("Light", {5, 5, 5}, 0, 0, 1);
    const Material& groundMat = b.material("Ground", {0.1f, 0.6f, 0.2f}, 0.2f, 20, 1);
    const Material& clay = b.material("Clay", {0.9f, 0.8f, 0.7f}, 0.2f, 5, 1);
    KdNode& leaf = b.leaf();
    SceneObject& panel =
        b.patch(kParallelogram, {1, -1, 2}, {-0.3f, 0, 0.2f}, {0, 0.3f, 0}, light, kNoShadowCast | kNoShadowTest);
    b.slot(0, panel);
    b.scene().light.object = &panel;
    SceneObject& ground = b.ground(groundMat, kNoShadowCast);
    b.slot(1, ground);
    b.append(leaf, ground);
    Matrix34 post = identityMatrix();
    scaleBy(post, 0.25f, 0.25f, 1);
    b.append(leaf, b.revolved(post, 0.0f, clay));
    b.append(leaf, b.disc({0, 0, 1}, {0, 0, 1}, 0.0625f, clay));
    b.finish({2, 2, 2.5f}, &panel);
    b.scene().root = &leaf;
}

void buildEgg(SceneBuilder& b) {
    const Material& glass = b.glass("Glass", {0.2f, 0.9f, 0.8f}, 0.7f, 20);
    const Material& groundMat = b.material("Ground", {0.6f, 0.5f, 0.4f}, 0.2f, 20, 1);
    KdNode& leaf = b.leaf();
    Scene& s = b.scene();

    // Lower half: a sphere of radius 0.75 resting on the ground.
    Matrix34 lower = identityMatrix();
    scaleBy(lower, 0.75f, 0.75f, 0.75f);
    translateBy(lower, 0, 0, 0.75f);
    SceneObject& bottom = s.newObject();
    initSphereSection(bottom);
    bottom.flags = kNoShadowTest;
    bottom.material = &glass;
    bottom.section.centre = {0, 0, 0.75f};
    bottom.section.radiusSquared = 0.5625f;
    bottom.section.sweep = kTwoPi;
    bottom.section.latitudeMax = 0.0f;
    bottom.section.worldToLocal = inverse(lower);
    b.slot(0, bottom);
    b.append(leaf, bottom);

    // Upper half: an ellipsoid with semi-axes 0.75, 0.75, 1 on the same equator.
    Matrix34 upper = identityMatrix();
    scaleBy(upper, 0.75f, 0.75f, 1.0f);
    translateBy(upper, 0, 0, 0.75f);
    SceneObject& top = s.newObject();
    initEllipsoidSection(top);
    top.flags = kNoShadowTest;
    top.material = &glass;
    top.ellipsoid.sweep = kTwoPi;
    top.ellipsoid.latitudeMin = 0.0f;
    top.ellipsoid.worldToLocal = inverse(upper);
    top.ellipsoid.normalTransform = &b.normalTransform(upper);
    b.slot(1, top);
    b.append(leaf, top);

    b.append(leaf, b.ground(groundMat, kCheckered | kNoShadowCast));
    b.finish({2, 2, 1.751f});
    s.root = &leaf;
}

void buildCornellBox(SceneBuilder& b) {
    const Material& light = b.material("Light", {5, 5, 5}, 0, 0, 1);
    const Material& white = b.material("White", {0.75f, 0.75f, 0.75f}, 0.2f, 5, 1);
    const Material& green = b.material("Green", {0.1f, 0.8f, 0.1f}, 0.2f, 5, 1);
    const Material& red = b.material("Red", {0.8f, 0.1f, 0.1f}, 0.2f, 5, 1);
    const Material& yellow = b.material("Yellow", {0.8f, 0.8f, 0.4f}, 0.2f, 5, 1);
    KdNode& leaf = b.leaf();

    SceneObject& panel = b.patch(kParallelogram, {-0.3f, -0.3f, 2.98f}, {0, 0.6f, 0}, {0.6f, 0, 0}, light,
                                 kNoShadowCast | kNoShadowTest);
    b.scene().light.object = &panel;
    b.scene().light.area = panel.patch.edgeA.y * panel.patch.edgeB.x;

    const uint16_t wall = kNoShadowCast | kOneSided;
    b.append(leaf, b.patch(kParallelogram, {-1.5f, -1.5f, 0}, {3, 0, 0}, {0, 3, 0}, white, wall));
    b.append(leaf, b.patch(kParallelogram, {-1.5f, -1.5f, 0}, {0, 0, 3}, {3, 0, 0}, white, wall));
    b.append(leaf, b.patch(kParallelogram, {-1.5f, 1.5f, 0}, {3, 0, 0}, {0, 0, 3}, white, wall));
    b.append(leaf, b.patch(kParallelogram, {-1.5f, -1.5f, 3}, {0, 3, 0}, {3, 0, 0}, white, wall));
    b.append(leaf, b.patch(kParallelogram, {-1.5f, -1.5f, 0}, {0, 3, 0}, {0, 0, 3}, green, wall));
    b.append(leaf, b.patch(kParallelogram, {1.5f, -1.5f, 0}, {0, 0, 3}, {0, 3, 0}, red, wall));

    const uint16_t block = kNoShadowTest | kOneSided;
    Matrix34 m = identityMatrix();
    scaleBy(m, 0.884f, 0.884f, 1.85f);
    rotateZ(m, -1.274f);
    Matrix34 r = m;
    translateBy(m, 0.471f, -0.375f, 0.925f);
    b.boxFaces(m, r, yellow, block, false, leaf, -1);
    m = identityMatrix();
    scaleBy(m, 0.884f, 0.884f, 0.884f);
    rotateZ(m, 4.416f);
    r = m;
    translateBy(m, -0.498f, 0.6f, 0.442f);
    b.boxFaces(m, r, yellow, block, false, leaf, -1);

    b.finish({1.501f, 1.501f, 3.001f}, &panel, {-1.501f, -1.501f, -0.001f});
    b.scene().root = &leaf;
}

// The nine demo scenes in id order. Ids 3 and 8 offer caustics (their glass sits at the caustic
// target), 9 global illumination.
constexpr SceneDescriptor kDemoScenes[kSceneCount] = {
    {1, "Mirrorsphere", "mirrorsphere", "LUMO-Demo: Bouncing Mirrorsphere", {0, 0, 1.2f}, 1.3f, 0.3f, 0.5f,
     {5, -3, 7}, 1.0f, false, false, false, false, 1, 0.0f, 0.0f},
    {2, "Balls", "balls", "LUMO-Demo: 3 rotating Spheres", {0, 0, 0}, 1.91f, 0.61f, 0.5f, {5, -3, 7}, 1.0f, false,
     false, false, false, 1, 0.0f, 0.0f},
    {3, "Cube", "cube", "LUMO-Demo: Spinning Glass Cube", {0, 0, 1.2f}, -0.82f, 0.53f, 0.5f, {5, -3, 7}, 1.0f, true,
     false, false, false, 6, 8.0f, 0.0f},
    {4, "Shadows 1", "shadows-1", "LUMO-Demo: Moving Light", {0, 0, 0.5f}, 2.58f, 0.55f, 0.5f, {1, 0, 1}, 1.0f,
     false, false, false, false, 0, 0.0f, 0.0f},
    {5, "Torus", "torus", "LUMO-Demo: rotating Torus", {0, 0, 1.2f}, 2.36f, 0.53f, 0.5f, {5, -3, 7}, 1.0f, false,
     false, false, false, 1, 0.0f, 0.0f},
    {6, "Spheres", "spheres", "LUMO-Demo: 3 rotating Spheres", {0, 0, 1}, 0.24f, 0.59f, 0.5f, {5, -3, 7}, 1.0f,
     false, false, false, false, 1, 0.0f, 0.0f},
    {7, "Area Light", "area-light", "LUMO-Demo: Area Light's Soft Shadow", {0, 0, 0.5f}, 1.97f, 0.67f, 0.5f,
     {0.85f, -0.85f, 2.1f}, 1.0f, false, false, false, false, 0, 0.0f, 0.0f},
    {8, "Egg", "egg", "LUMO-Demo: Tumbling Egg", {0, 0, 0.875f}, 2.73f, 0.47f, 0.5f, {5, -3, 7}, 1.0f, true, false,
     true, false, 1, 2.0f, 0.0f},
    {9, "Cornell Box", "cornell-box", "LUMO-Demo: Cornell Box", {0, 0, 1.5f}, 3.14159f, 0.2f, 0.535f,
     {0, 0, 2.98f}, 0.75f, false, true, false, true, 6, 0.0f, 135.0f},
};

}  // namespace

std::span<const SceneDescriptor> demoScenes() { return kDemoScenes; }

const SceneDescriptor* findDemoScene(int sceneId) {
    return sceneId >= 1 && sceneId <= kSceneCount ? &kDemoScenes[sceneId - 1] : nullptr;
}

int demoSceneIdFromName(const std::string& text) {
    std::string name;
    for (const char c : text) name += c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const SceneDescriptor& d : kDemoScenes)
        if (name == d.cliName) return d.id;
    return 0;
}

std::unique_ptr<Scene> buildScene(int sceneId) {
    const SceneDescriptor* d = findDemoScene(sceneId);
    if (!d) return nullptr;
    auto scene = std::make_unique<Scene>();
    scene->descriptor = *d;
    scene->title = d->title;
    Camera& c = scene->camera;
    c.lookAtPoint = d->lookAt;
    c.cameraAzimuth = d->azimuth;
    c.cameraElevation = d->elevation;
    c.fieldOfView = d->fieldOfView;
    scene->light.position = d->lightPosition;
    scene->light.intensity = d->lightIntensity;
    SceneBuilder b(*scene);
    switch (sceneId) {
    case 1: buildMirrorsphere(b); break;
    case 2: buildBalls(b); break;
    case 3: buildCube(b); break;
    case 4: buildShadows1(b); break;
    case 5: buildTorus(b); break;
    case 6: buildSpheres(b); break;
    case 7: buildAreaLight(b); break;
    case 8: buildEgg(b); break;
    default: buildCornellBox(b); break;
    }
    return scene;
}

}  // namespace lumo
