// Reading the scene format into a Scene: materials, shapes built with the scene model's own init
// functions, meshes, camera, light and photon switches, then the automatic tree.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <new>
#include <sstream>

#include "scene/kd_build.h"
#include "scenefile/input_file.h"
#include "scenefile/json_fields.h"
#include "scenefile/mesh_files.h"
#include "scenefile/scene_file.h"
#include "scenefile/scene_names.h"

namespace lumo {

namespace {

constexpr int kMaxPhotons = 20000000;
constexpr int kMaxSplitCount = 1000000;
constexpr int kMaxTextureSide = 4096;
constexpr double kDegrees = 3.14159265358979323846 / 180.0;

std::string indexPath(const std::string& path, size_t i) { return path + "[" + std::to_string(i) + "]"; }

float toFloat(double v) { return static_cast<float>(v); }

// An angle in degrees from the file, as the renderer's radians.
float angle(Fields& f, const char* key, float fallbackRadians, double minDegrees, double maxDegrees) {
    const Json* j = f.get(key);
    if (!j) return fallbackRadians;
    return toFloat(numberAt(*j, f.pathOf(key), minDegrees, maxDegrees) * kDegrees);
}

// A length given as a radius, stored squared as the shapes keep it.
float squared(double r) { return toFloat(r * r); }

Matrix34 identityMatrix() {
    Matrix34 m;
    setIdentity(m);
    return m;
}

// Rows are the images of the x, y and z axes.
double axisLength(const Matrix34& t, int axis) {
    const float* r = t.m + 3 * axis;
    return std::sqrt(static_cast<double>(r[0]) * r[0] + static_cast<double>(r[1]) * r[1] + static_cast<double>(r[2]) * r[2]);
}

double determinant(const Matrix34& t) {
    const float* m = t.m;
    return static_cast<double>(m[0]) * (static_cast<double>(m[4]) * m[8] - static_cast<double>(m[5]) * m[7]) -
           static_cast<double>(m[1]) * (static_cast<double>(m[3]) * m[8] - static_cast<double>(m[5]) * m[6]) +
           static_cast<double>(m[2]) * (static_cast<double>(m[3]) * m[7] - static_cast<double>(m[4]) * m[6]);
}

// The one test for "has an inverse": the three axes span space by more than kFlatAxes of the volume
// their lengths allow (a relative test, so any scale passes), and the inverse, computed in single
// precision, is finite.
constexpr double kFlatAxes = 1e-6;

bool hasInverse(const Matrix34& m) {
    const double volume = axisLength(m, 0) * axisLength(m, 1) * axisLength(m, 2);
    if (!(volume > 0.0) || !std::isfinite(volume) || !(std::fabs(determinant(m)) > kFlatAxes * volume)) return false;
    const Matrix34 back = inverse(m);
    for (float v : back.m)
        if (!std::isfinite(v)) return false;
    return true;
}

// The longest axis of a curved shape's frame over its shortest (see Reader::invertible).
constexpr double kMaxAxisRatio = 100;

// "transform": steps applied in order, as the scene builders compose them.
Matrix34 readTransform(const Json& j, const std::string& path) {
    Matrix34 m = identityMatrix();
    arrayAt(j, path, 0, 64);
    for (size_t i = 0; i < j.size(); ++i) {
        const std::string stepPath = indexPath(path, i);
        Fields step(j[i], stepPath);
        if (const Json* s = step.get("scale")) {
            const std::string p = step.pathOf("scale");
            const Vec3 v = s->is_number() ? [&] {
                const float k = toFloat(numberAt(*s, p, -kFarCoordinate, kFarCoordinate));
                return Vec3{k, k, k};
            }()
                                          : vec3At(*s, p);
            scaleBy(m, v.x, v.y, v.z);
        } else if (const Json* r = step.get("rotateX")) {
            // Steps turn by the right-hand rule; the builders' rotateX and rotateY turn the other
            // way (their sine and cosine are odd and even, so the negated angle is exact).
            rotateX(m, -toFloat(numberAt(*r, step.pathOf("rotateX"), -1e6, 1e6) * kDegrees));
        } else if (const Json* r = step.get("rotateY")) {
            rotateY(m, -toFloat(numberAt(*r, step.pathOf("rotateY"), -1e6, 1e6) * kDegrees));
        } else if (const Json* r = step.get("rotateZ")) {
            rotateZ(m, toFloat(numberAt(*r, step.pathOf("rotateZ"), -1e6, 1e6) * kDegrees));
        } else if (const Json* t = step.get("translate")) {
            const Vec3 v = vec3At(*t, step.pathOf("translate"));
            translateBy(m, v.x, v.y, v.z);
        } else if (const Json* mj = step.get("matrix")) {
            const std::string p = step.pathOf("matrix");
            arrayAt(*mj, p, 12, 12);
            Matrix34 n;
            for (size_t k = 0; k < 12; ++k)
                n.m[k] = toFloat(numberAt((*mj)[k], indexPath(p, k), -kFarCoordinate, kFarCoordinate));
            m = multiply(m, n);
        } else {
            fault(stepPath, "expected one of scale, rotateX, rotateY, rotateZ, translate, matrix");
        }
        step.finish();
    }
    return m;
}

// Turns +y up into +z up: a right-handed quarter turn about x, exact in every element.
Matrix34 yUpToZUp() {
    Matrix34 m;
    const float rows[12] = {1, 0, 0, 0, 0, 1, 0, -1, 0, 0, 0, 0};
    std::copy(rows, rows + 12, m.m);
    return m;
}

bool hasMeshExtension(const std::string& file, std::initializer_list<const char*> extensions) {
    const size_t dot = file.find_last_of('.');
    if (dot == std::string::npos || file.find('/', dot) != std::string::npos) return false;
    std::string ext = file.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* e : extensions)
        if (ext == e) return true;
    return false;
}

struct Reader {
    Scene& scene;
    std::string folder;
    std::map<std::string, const Material*> materials;
    size_t skipped = 0;
    std::vector<std::string> warnings;      // mesh warnings, each "objects[i].file: path: what"
    std::vector<SceneObject*> byFileIndex;  // the object each entry of "objects" became, null if skipped
    std::vector<bool> untraced;             // by scene object index
    std::vector<std::string> files;         // the files the meshes were read from
    int threads = 1;                        // for reading meshes
    ProgressPart progress;                  // of reading the objects
    size_t meshes = 0, meshesRead = 0;
    MeshData* premade;                      // stands for the mesh file at premadePath, once
    std::string premadePath;
    bool premadeUsed;

    const Material& material(Fields& f) {
        const std::string name = f.text("material");
        const auto it = materials.find(name);
        if (it == materials.end()) fault(f.pathOf("material"), "no material is named '" + name + "'");
        return *it->second;
    }

    void readTexture(Material& m, const Json& j, const std::string& path) {
        Bitmap& b = scene.bitmaps.emplace_back();
        m.texture = &b;
        if (j.is_string()) {
            if (j.get<std::string>() != kUvTextureName)
                fault(path, "the only built-in texture is \"" + std::string(kUvTextureName) + "\"");
            return;  // a bitmap without pixels: the shader shows the texture coordinates
        }
        Fields t(j, path);
        b.width = t.integer("width", 0, 1, kMaxTextureSide);
        b.height = t.integer("height", 0, 1, kMaxTextureSide);
        if (b.width == 0 || b.height == 0) fault(path, "a texture needs a width and a height");
        const std::string pixelsPath = t.pathOf("pixels");
        const Json& pixels = arrayAt(t.required("pixels"), pixelsPath, static_cast<size_t>(b.width) * b.height,
                                     static_cast<size_t>(b.width) * b.height);
        const int rowBytes = (b.width * 3 + 3) & ~3;
        std::vector<uint8_t>& store = scene.bitmapPixels.emplace_back(static_cast<size_t>(rowBytes) * b.height, 0);
        for (size_t i = 0; i < pixels.size(); ++i) {
            const std::string p = indexPath(pixelsPath, i);
            arrayAt(pixels[i], p, 3, 3);
            uint8_t* texel = store.data() + (i / b.width) * rowBytes + (i % b.width) * 3;
            for (int c = 0; c < 3; ++c) {
                const double v = numberAt(pixels[i][c], indexPath(p, c), 0, 255);
                if (v != std::floor(v)) fault(indexPath(p, c), "expected a whole number");
                texel[2 - c] = static_cast<uint8_t>(v);  // stored blue, green, red
            }
        }
        b.pixels = store.data();
        TextureSampling& how = m.sampling;
        how.filtered = t.flag("filtered", false);
        if (const Json* w = t.get("wrap")) {
            const std::string wrapPath = t.pathOf("wrap");
            if (!how.filtered) fault(wrapPath, "only a filtered texture has wrap modes");
            arrayAt(*w, wrapPath, 2, 2);
            TextureWrap* axes[2] = {&how.wrapS, &how.wrapT};
            for (size_t k = 0; k < 2; ++k) {
                const std::string name = (*w)[k].is_string() ? (*w)[k].get<std::string>() : "";
                if (name == "repeat") *axes[k] = TextureWrap::kRepeat;
                else if (name == "mirror") *axes[k] = TextureWrap::kMirroredRepeat;
                else if (name == "clamp") *axes[k] = TextureWrap::kClampToEdge;
                else fault(indexPath(wrapPath, k), "expected \"repeat\", \"mirror\" or \"clamp\"");
            }
        }
        if (const Json* j = t.get("transform")) {
            const std::string transformPath = t.pathOf("transform");
            if (!how.filtered) fault(transformPath, "only a filtered texture has a transform");
            arrayAt(*j, transformPath, 6, 6);
            for (size_t k = 0; k < 6; ++k)
                how.transform[k] = toFloat(numberAt((*j)[k], indexPath(transformPath, k), -kFarCoordinate, kFarCoordinate));
        }
        t.finish();
    }

    void readMaterials(const Json& list) {
        arrayAt(list, "materials", 0, 100000);
        for (size_t i = 0; i < list.size(); ++i) {
            Fields f(list[i], indexPath("materials", i));
            const std::string name = f.text("name");
            if (materials.count(name)) fault(f.pathOf("name"), "a second material is named '" + name + "'");
            Material& m = scene.newMaterial(name.c_str());
            const Material defaults;
            m.diffuse = f.vec3("diffuse", defaults.diffuse);
            m.reflectivity = toFloat(f.number("reflectivity", defaults.reflectivity, 0, 1));
            m.phongExponent = toFloat(f.number("phongExponent", defaults.phongExponent, 0, 1e6));
            m.transmission = toFloat(f.number("transmission", defaults.transmission, -1, 1));
            if (m.transmission < 0.0f && m.transmission != -1.0f)
                fault(f.pathOf("transmission"), "expected 0 to 1, or -1 for a dielectric");
            m.iorBase = toFloat(f.number("refractiveIndex", defaults.iorBase, 1e-3, 1e3));
            m.iorCoeff = toFloat(f.number("dispersion", defaults.iorCoeff, -1e9, 1e9));
            m.iorPole = toFloat(f.number("dispersionPole", defaults.iorPole, -1e9, 1e9));
            m.kind = f.flag("matte", false) ? 1 : 0;
            if (const Json* t = f.get("texture")) readTexture(m, *t, f.pathOf("texture"));
            f.finish();
            materials[name] = &m;
        }
    }

    uint16_t readFlags(Fields& f) {
        const Json* j = f.get("flags");
        if (!j) return 0;
        const std::string path = f.pathOf("flags");
        arrayAt(*j, path, 0, 16);
        uint16_t flags = 0;
        for (size_t i = 0; i < j->size(); ++i) {
            const Json& e = (*j)[i];
            if (!e.is_string()) fault(indexPath(path, i), "expected a flag name, got " + jsonTypeName(e));
            const uint16_t bit = flagFromName(e.get<std::string>());
            if (!bit) fault(indexPath(path, i), "no flag is named '" + e.get<std::string>() + "'");
            flags |= bit;
        }
        return flags;
    }

    Matrix34 placement(Fields& f) {
        const Json* j = f.get("transform");
        return j ? readTransform(*j, f.pathOf("transform")) : identityMatrix();
    }

    // The exact matrices a saved scene carries besides its transform ("worldToLocal",
    // "normalMatrix"): when present they are taken as they are, so the shape is the very one saved.
    bool exactMatrix(Fields& f, const char* key, Matrix34& m) {
        const Json* j = f.get(key);
        if (!j) return false;
        const std::string path = f.pathOf(key);
        arrayAt(*j, path, 12, 12);
        for (size_t k = 0; k < 12; ++k) m.m[k] = toFloat(numberAt((*j)[k], indexPath(path, k), -kFarCoordinate, kFarCoordinate));
        if (!hasInverse(m)) fault(path, "the matrix has no inverse (its axes are flat or out of single precision)");
        return true;
    }

    Matrix34 worldToLocal(Fields& f, const Matrix34& placement) {
        Matrix34 m;
        return exactMatrix(f, "worldToLocal", m) ? m : inverse(placement);
    }

    ShapeTransform& normalTransform(Fields& f, const Matrix34& placement) {
        ShapeTransform& t = scene.newTransform();
        if (!exactMatrix(f, "normalMatrix", t.matrix)) t.matrix = normalMatrix(placement);
        return t;
    }

    // "uv": texture coordinates at the shape's corners (three for a triangle, four otherwise).
    const TextureCorners* corners(Fields& f, int count) {
        const Json* j = f.get("uv");
        if (!j) return nullptr;
        const std::string path = f.pathOf("uv");
        arrayAt(*j, path, static_cast<size_t>(count), static_cast<size_t>(count));
        TextureCorners& c = scene.textureCorners.emplace_back();
        for (int i = 0; i < 4; ++i) c.s[i] = c.t[i] = 0.0f;
        for (size_t i = 0; i < j->size(); ++i) {
            const std::string p = indexPath(path, i);
            arrayAt((*j)[i], p, 2, 2);
            c.s[i] = toFloat(numberAt((*j)[i][0], indexPath(p, 0), -kFarCoordinate, kFarCoordinate));
            c.t[i] = toFloat(numberAt((*j)[i][1], indexPath(p, 1), -kFarCoordinate, kFarCoordinate));
        }
        return &c;
    }

    // A shape whose placement cannot be undone has no size: it is skipped like a zero radius. The
    // curved shapes are solved in their own frame in single precision: a frame squeezed more than
    // kMaxAxisRatio renders as streaks, so it is refused.
    bool invertible(const Matrix34& m, Fields& f) {
        if (!hasInverse(m)) return false;
        const double lengths[3] = {axisLength(m, 0), axisLength(m, 1), axisLength(m, 2)};
        const double ratio = *std::max_element(lengths, lengths + 3) / *std::min_element(lengths, lengths + 3);
        if (ratio > kMaxAxisRatio) {
            char text[96];
            std::snprintf(text, sizeof text, "the axes differ in length by a factor of %.3g, more than %g", ratio, kMaxAxisRatio);
            fault(f.pathOf("transform"), text);
        }
        return true;
    }

    // Builds one shape entry; false when it is degenerate (the entry is skipped).
    bool readShape(Fields& f, ShapeType type, SceneObject& o) {
        switch (type) {
            case kTriangle:
            case kParallelogram: {
                initPlanarPatch(o);
                o.type = type;
                o.patch.origin = f.vec3("origin");
                o.patch.edgeA = f.vec3("edgeA");
                o.patch.edgeB = f.vec3("edgeB");
                const Vec3* normals = nullptr;
                if (const Json* n = f.get("normals")) {
                    const std::string path = f.pathOf("normals");
                    arrayAt(*n, path, 3, 3);
                    std::array<Vec3, 3>& store = scene.vertexNormals.emplace_back();
                    for (size_t i = 0; i < 3; ++i) store[i] = vec3At((*n)[i], indexPath(path, i));
                    normals = store.data();
                }
                const TextureCorners* uv = corners(f, type == kTriangle ? 3 : 4);
                if (normals || uv) o.patch.attributes = &scene.surfaceAttributes.emplace_back(SurfaceAttributes{normals, uv});
                if (length(cross(o.patch.edgeA, o.patch.edgeB)) < 1e-12) return false;
                prepareParallelogram(o);
                return true;
            }
            case kSphere: {
                initSphere(o);
                o.sphere.centre = f.vec3("centre");
                const double r = f.number("radius", 0, kFarCoordinate);
                o.sphere.radiusSquared = squared(r);
                return o.sphere.radiusSquared > 0.0f;
            }
            case kRevolved: {
                initRevolvedShape(o);
                const Matrix34 m = placement(f);
                o.revolved.taper = toFloat(f.number("taper", 0.0, -1e6, 1e6));
                o.revolved.sweep = angle(f, "sweep", 0.0f, 0, 360.001);
                const TextureCorners* uv = corners(f, 4);
                if (!invertible(m, f)) return false;
                o.revolved.worldToLocal = worldToLocal(f, m);
                o.revolved.normalTransform = &normalTransform(f, m);
                o.revolved.normalTransform->textureCorners = uv;
                return true;
            }
            case kDisc: {
                initDisc(o);
                o.disc.centre = f.vec3("centre");
                o.disc.normal = f.vec3("normal", {0.0f, 0.0f, 1.0f});
                const double outer = f.number("radius", 0, kFarCoordinate);
                const double inner = f.number("innerRadius", 0.0, 0, kFarCoordinate);
                if (inner > outer) fault(f.pathOf("innerRadius"), "larger than the radius");
                o.disc.outerRadiusSquared = squared(outer);
                o.disc.innerRadiusSquared = squared(inner);
                if (length(o.disc.normal) < 1e-12 || outer <= inner) return false;
                o.disc.normal = normalize(o.disc.normal);
                return true;
            }
            case kTorus: {
                initTorus(o);
                const Matrix34 m = placement(f);
                Torus& t = o.torus;
                t.majorRadius = toFloat(f.number("majorRadius", t.majorRadius, 0, kFarCoordinate));
                t.minorRadius = toFloat(f.number("minorRadius", t.minorRadius, 0, kFarCoordinate));
                t.sweep = angle(f, "sweep", t.sweep, 0, 360.001);
                t.tubeStart = angle(f, "tubeStart", t.tubeStart, -360.001, 360.001);
                t.tubeEnd = angle(f, "tubeEnd", t.tubeEnd, -360.001, 720.001);
                if (t.tubeEnd <= t.tubeStart) fault(f.pathOf("tubeEnd"), "not above tubeStart");
                const TextureCorners* uv = corners(f, 4);
                if (!invertible(m, f) || t.minorRadius <= 0.0f) return false;
                t.worldToLocal = worldToLocal(f, m);
                t.normalTransform = &normalTransform(f, m);
                t.normalTransform->textureCorners = uv;
                return true;
            }
            case kSphereSection: {
                initSphereSection(o);
                const Matrix34 m = placement(f);
                SphereSection& s = o.section;
                // Without its own centre and radius, the section's sphere is its placement's unit sphere.
                s.centre = f.vec3("centre", transformPoint({0.0f, 0.0f, 0.0f}, m));
                const double r = f.number("radius", length(transformDirection({1.0f, 0.0f, 0.0f}, m)), 0,
                                          kFarCoordinate);
                s.radiusSquared = squared(r);
                readLatitudes(f, s.sweep, s.latitudeMin, s.latitudeMax);
                if (const TextureCorners* uv = corners(f, 4)) {
                    s.localToWorld = &scene.newTransform();
                    s.localToWorld->matrix = m;
                    s.localToWorld->textureCorners = uv;
                }
                if (!invertible(m, f) || s.radiusSquared <= 0.0f) return false;
                s.worldToLocal = worldToLocal(f, m);
                return true;
            }
            case kParaboloid: {
                initParaboloid(o);
                const Matrix34 m = placement(f);
                o.paraboloid.heightMax = toFloat(f.number("heightMax", o.paraboloid.heightMax, 0, kFarCoordinate));
                o.paraboloid.sweep = angle(f, "sweep", 0.0f, 0, 360.001);
                const TextureCorners* uv = corners(f, 4);
                if (!invertible(m, f) || o.paraboloid.heightMax <= 0.0f) return false;
                o.paraboloid.worldToLocal = worldToLocal(f, m);
                o.paraboloid.normalTransform = &normalTransform(f, m);
                o.paraboloid.normalTransform->textureCorners = uv;
                return true;
            }
            case kEllipsoidSection: {
                initEllipsoidSection(o);
                const Matrix34 m = placement(f);
                EllipsoidSection& e = o.ellipsoid;
                readLatitudes(f, e.sweep, e.latitudeMin, e.latitudeMax);
                const TextureCorners* uv = corners(f, 4);
                if (!invertible(m, f)) return false;
                e.worldToLocal = worldToLocal(f, m);
                e.normalTransform = &normalTransform(f, m);
                e.normalTransform->textureCorners = uv;
                return true;
            }
            case kDiscSector: {
                initDiscSector(o);
                const Matrix34 m = placement(f);
                DiscSector& d = o.sector;
                d.centre = f.vec3("centre", transformPoint({0.0f, 0.0f, 0.0f}, m));
                d.normal = f.vec3("normal", transformDirection({0.0f, 0.0f, 1.0f}, normalMatrix(m)));
                const double outer = f.number("radius", 1.0, 0, kFarCoordinate);
                const double inner = f.number("innerRadius", 0.0, 0, kFarCoordinate);
                if (inner > outer) fault(f.pathOf("innerRadius"), "larger than the radius");
                d.outerRadiusSquared = squared(outer);
                d.innerRadiusSquared = squared(inner);
                d.sweep = angle(f, "sweep", 0.0f, 0, 360.001);
                if (!invertible(m, f) || outer <= inner || length(d.normal) < 1e-12) return false;
                d.normal = normalize(d.normal);
                d.worldToLocal = worldToLocal(f, m);
                return true;
            }
            case kMeshFaces: break;  // meshes come from mesh files
        }
        return false;  // no shape has this code
    }

    void readLatitudes(Fields& f, float& sweep, float& latitudeMin, float& latitudeMax) {
        sweep = angle(f, "sweep", sweep, 0, 360.001);
        latitudeMin = angle(f, "latitudeMin", latitudeMin, -90.001, 90.001);
        latitudeMax = angle(f, "latitudeMax", latitudeMax, -90.001, 90.001);
        if (latitudeMax < latitudeMin) fault(f.pathOf("latitudeMax"), "below latitudeMin");
    }

    void readObjects(const Json& list) {
        arrayAt(list, "objects", 0, 10000000);
        checkMemory(list.size() * kBytesPerMeshTriangle, "objects", std::to_string(list.size()) + " objects");
        for (const Json& item : list) meshes += item.is_object() && item.value("shape", Json()) == "mesh";
        bool haveFree = false;
        for (size_t i = 0; i < list.size(); ++i) {
            Fields f(list[i], indexPath("objects", i));
            const std::string shapeName = f.text("shape");
            if (shapeName == "mesh") {
                readMesh(f);
                byFileIndex.push_back(nullptr);
                f.finish();
                continue;
            }
            const int type = shapeFromName(shapeName);
            if (type < 0) fault(f.pathOf("shape"), "no shape is named '" + shapeName + "'");
            const Material& m = material(f);
            const uint16_t flags = readFlags(f);
            const bool free = f.flag("free", false);
            const bool hidden = f.flag("untraced", false);
            if (free && hidden) fault(f.pathOf("untraced"), "a free object is traced on its own");
            if (free && haveFree) fault(f.pathOf("free"), "only one object can be free");
            SceneObject& o = scene.newObject();
            const bool kept = readShape(f, static_cast<ShapeType>(type), o);
            f.finish();
            if (!kept) {
                // Its attachments stay in the scene's stores, unused; the object itself goes.
                scene.dropLastObject();
                ++skipped;
                byFileIndex.push_back(nullptr);
                continue;
            }
            o.flags = flags;
            o.material = &m;
            if (free) {
                scene.freeObject = &o;
                haveFree = true;
            }
            untraced.resize(scene.objects.size(), false);
            untraced[o.index] = hidden;
            byFileIndex.push_back(&o);
        }
        untraced.resize(scene.objects.size(), false);
    }

    void readMesh(Fields& f) {
        const std::string file = f.text("file");
        MeshPlacement how;
        how.placement = placement(f);
        // glTF is y-up by definition, OBJ has no convention and is taken as z-up like the scene.
        const bool gltf = hasMeshExtension(file, {"gltf", "glb"});
        const std::string up = f.text("up", gltf ? "y" : "z");
        if (up == "y") how.placement = multiply(yUpToZUp(), how.placement);
        else if (up != "z") fault(f.pathOf("up"), "expected \"y\" or \"z\", got \"" + up + "\"");
        if (f.has("material")) how.material = &material(f);
        how.flags = readFlags(f);
        how.smooth = f.flag("smooth", true);
        if (!hasInverse(how.placement))
            fault(f.pathOf("transform"), "the transform has no inverse (its axes are flat or out of single precision)");
        const std::string path = !file.empty() && file[0] == '/' ? file : folder + file;
        const std::string keyPath = f.pathOf("file");
        const ProgressPart part =
            progress.part(double(meshesRead) / double(meshes), double(meshesRead + 1) / double(meshes));
        ++meshesRead;
        MeshData read;
        const bool given = premade && !premadeUsed && path == premadePath;
        premadeUsed = premadeUsed || given;
        const MeshData& mesh = given ? *premade : (read = readMeshFile(path, keyPath, threads, part.part(0.0, 0.8)));
        files.insert(files.end(), mesh.files.begin(), mesh.files.end());
        for (const std::string& w : mesh.warnings) warnings.push_back(keyPath + ": " + path + ": " + w);
        if (addMesh(scene, mesh, how, keyPath, skipped) == 0 && mesh.triangles.empty())
            warnings.push_back(keyPath + ": " + path + ": no triangles");
        if (given) *premade = MeshData{};  // the scene has its own copy now; the tree build needs the room
        part.set(1.0);
    }

    void readCamera(const Json* j) {
        Camera& c = scene.camera;
        const Json none = Json::object();
        Fields f(j ? *j : none, "camera");
        c.lookAtPoint = f.vec3("lookAt", c.lookAtPoint);
        c.orbitCentre = f.vec3("orbitCentre", c.lookAtPoint);
        c.fieldOfView = angle(f, "fieldOfView", c.fieldOfView, 0.01, 179);
        const bool orbit = f.has("azimuth") || f.has("elevation") || f.has("distance");
        if (orbit && f.has("eye")) fault(f.pathOf("eye"), "give either the eye or azimuth, elevation and distance");
        if (orbit) {
            c.cameraAzimuth = angle(f, "azimuth", c.cameraAzimuth, -1e6, 1e6);
            c.cameraElevation = angle(f, "elevation", c.cameraElevation, -89.9, 89.9);
            c.orbitRadius = toFloat(f.number("distance", c.orbitRadius, 1e-6, kFarCoordinate));
        } else if (const Json* eye = f.get("eye")) {
            const Vec3 e = vec3At(*eye, f.pathOf("eye"));
            const Vec3 d = sub(e, c.orbitCentre);
            const double r = length(d);
            if (!(r > 1e-6)) fault(f.pathOf("eye"), "the eye is at the orbit centre");
            c.orbitRadius = toFloat(r);
            c.cameraElevation = toFloat(std::asin(std::clamp(static_cast<double>(d.z) / r, -1.0, 1.0)));
            c.cameraAzimuth = toFloat(std::atan2(static_cast<double>(d.x), -static_cast<double>(d.y)));
        }
        placeEyeOnOrbit(c);
        const Vec3 view = sub(c.lookAtPoint, c.eyePosition);
        const double distance = length(view);
        if (!(distance > 1e-6)) fault(f.pathOf("lookAt"), "the eye is at the point it looks at");
        if (std::fabs(view.z) > 0.9999 * distance) fault(f.pathOf("lookAt"), "the view is straight up or down");
        f.finish();
        SceneDescriptor& d = scene.descriptor;
        d.lookAt = c.lookAtPoint;
        d.azimuth = c.cameraAzimuth;
        d.elevation = c.cameraElevation;
        d.fieldOfView = c.fieldOfView;
    }

    void readLight(const Json& j) {
        Fields f(j, "light");
        Light& l = scene.light;
        l.position = f.vec3("position");
        l.intensity = toFloat(f.number("intensity", 1.0, 0, 1e9));
        l.area = toFloat(f.number("area", 0.0, 0, kFarCoordinate));
        const int object = f.integer("object", -1, 0, static_cast<int>(byFileIndex.size()) - 1);
        if (object >= 0) {
            SceneObject* o = byFileIndex[static_cast<size_t>(object)];
            if (!o) fault(f.pathOf("object"), "the object was skipped or is a mesh");
            if (o->type != kParallelogram) fault(f.pathOf("object"), "the light's object must be a parallelogram");
            l.object = o;
        }
        f.finish();
        scene.descriptor.lightPosition = l.position;
        scene.descriptor.lightIntensity = l.intensity;
    }

    void readPhotonMap(Fields& photons, const char* key, bool& offered, bool& onOpen, float& scale, int& count,
                       int& split, int* onlyIndirect) {
        const Json* j = photons.get(key);
        if (!j) return;
        Fields f(*j, photons.pathOf(key));
        offered = f.flag("offered", true);
        onOpen = f.flag("onOpen", false);
        if (onOpen && !offered) fault(f.pathOf("onOpen"), "the map is not offered");
        scale = toFloat(f.number("estimateScale", 0.0, 0, 1e9));
        count = f.integer("photons", 0, 1, kMaxPhotons);
        split = f.integer("quality", 0, 1, kMaxSplitCount);
        if (onlyIndirect) *onlyIndirect = f.flag("onlyIndirect", true) ? 1 : 0;
        // A photon takes some tens of bytes in the store and its quadtree.
        checkMemory(static_cast<uint64_t>(count) * 128, f.pathOf("photons"), std::to_string(count) + " photons");
        f.finish();
    }

    void readPhotons(const Json* j, ScenePhotonCounts& counts) {
        if (!j) return;
        Fields f(*j, "photons");
        SceneDescriptor& d = scene.descriptor;
        d.interpolationKernel = f.integer("kernel", d.interpolationKernel, 0, 6);
        readPhotonMap(f, "caustics", d.offersCaustics, d.causticsOnSelect, d.causticEstimateScale,
                      counts.causticPhotons, counts.causticSplit, nullptr);
        int onlyIndirect = -1;
        readPhotonMap(f, "gi", d.offersGi, d.giOnSelect, d.giEstimateScale, counts.giPhotons, counts.giSplit,
                      &onlyIndirect);
        if (f.has("gi")) counts.giOnlyIndirect = onlyIndirect;
        f.finish();
    }

    // Objects that no ray may hit (light geometry of an area light) leave the tree's lists.
};

// nlohmann's "[json.exception.parse_error.101] parse error at line 3, column 5: syntax error ..." as
// "3:5: malformed JSON: syntax error ...".
std::string syntaxError(const std::string& what) {
    unsigned line = 0, column = 0;
    const size_t at = what.find("at line ");
    std::string detail = what;
    if (at != std::string::npos && std::sscanf(what.c_str() + at, "at line %u, column %u", &line, &column) == 2) {
        const size_t colon = what.find(": ", at);
        detail = colon == std::string::npos ? "" : what.substr(colon + 2);
        return std::to_string(line) + ":" + std::to_string(column) + ": malformed JSON: " + detail;
    }
    const size_t bracket = what.find("] ");
    return "malformed JSON: " + (bracket == std::string::npos ? what : what.substr(bracket + 2));
}

}  // namespace

Matrix34 defaultMeshPlacement(const std::string& file) {
    return hasMeshExtension(file, {"gltf", "glb"}) ? multiply(yUpToZUp(), identityMatrix()) : identityMatrix();
}

SceneFileResult readSceneText(const std::string& text, const std::string& name, const std::string& folder,
                              int threads, LoadProgress* progress) {
    return readSceneTextWithMesh(text, name, folder, threads, progress, "", nullptr);
}

SceneFileResult readSceneTextWithMesh(const std::string& text, const std::string& name, const std::string& folder,
                                      int threads, LoadProgress* progress, const std::string& meshPath,
                                      MeshData* mesh) {
    SceneFileResult result;
    Json root;
    try {
        root = parseJson(text);
    } catch (const Json::parse_error& e) {
        const std::string where = syntaxError(e.what());
        result.error = messageLine(name + (std::isdigit(static_cast<unsigned char>(where[0])) ? ":" : ": ") + where);
        return result;
    } catch (const Json::exception& e) {
        // A number too large for a double (1e999): the parser names it, but not where it is.
        result.error = messageLine(name + ": " + syntaxError(e.what()));
        return result;
    } catch (const FileFault& e) {
        result.error = messageLine(name + ": " + e.what());
        return result;
    }
    try {
        auto scene = std::make_unique<Scene>();
        Reader r{*scene, folder.empty() || folder.back() == '/' ? folder : folder + "/", {}, 0, {}, {}, {}, {},
                 threads, {progress, 0.0, 0.9}, 0, 0, mesh, meshPath, false};
        Fields top(root, "");
        const int version = top.integer("version", 0, 1, 1000000);
        if (version == 0) fault("", "the key 'version' is missing");
        if (version != kSceneFormatVersion)
            fault("version", "version " + std::to_string(version) + " is not known (this program reads version " +
                                 std::to_string(kSceneFormatVersion) + ")");
        scene->title = top.text("title", fileNameOf(name));
        if (const Json* m = top.get("materials")) r.readMaterials(*m);
        if (const Json* o = top.get("objects")) r.readObjects(*o);
        r.readCamera(top.get("camera"));
        r.readLight(top.required("light"));
        r.readPhotons(top.get("photons"), result.photons);
        top.finish();

        const auto buildStart = std::chrono::steady_clock::now();
        buildBvh(*scene, threads, r.untraced);
        result.buildSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - buildStart).count();
        if (progress) progress->set(1.0);
        scene->descriptor.id = 0;
        scene->descriptor.title = scene->title.c_str();
        for (const std::string& w : r.warnings) result.warnings.push_back(messageLine(name + ": " + w));
        if (r.skipped)
            result.warnings.push_back(name + ": skipped " + std::to_string(r.skipped) + " degenerate shape" +
                                      (r.skipped == 1 ? "" : "s") + " (zero radius, zero area or a flat transform)");
        result.scene = std::move(scene);
        result.inputs = std::move(r.files);
    } catch (const FileFault& e) {
        result.error = messageLine(name + ": " + e.what());
    } catch (const Json::exception& e) {
        result.error = messageLine(name + ": " + e.what());
    } catch (const std::bad_alloc&) {
        result.error = name + ": out of memory while building the scene";
    } catch (const std::length_error&) {
        result.error = name + ": out of memory while building the scene";
    }
    return result;
}

SceneFileResult loadSceneFile(const std::string& path, int threads, LoadProgress* progress) {
    SceneFileResult result;
    std::string text, reason;
    if (!readInputFile(path, kMaxSceneFileBytes, text, reason)) {
        result.error = messageLine(path + ": " + reason);
        return result;
    }
    if (const std::string problem = notTextProblem(text); !problem.empty()) {
        result.error = path + ": " + problem;
        return result;
    }
    const size_t slash = path.find_last_of('/');
    SceneFileResult read =
        readSceneText(text, path, slash == std::string::npos ? "" : path.substr(0, slash + 1), threads, progress);
    if (read.scene) read.inputs.insert(read.inputs.begin(), path);
    return read;
}

}  // namespace lumo
