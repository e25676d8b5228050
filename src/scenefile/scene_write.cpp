// Writing a scene in the scene format: every value as the scene holds it, floats in their shortest
// form that reads back to the same float.
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>

#include "scenefile/json_fields.h"
#include "scenefile/scene_file.h"
#include "scenefile/scene_names.h"

namespace lumo {

namespace {

using Ordered = nlohmann::ordered_json;

constexpr double kDegreesPerRadian = 180.0 / 3.14159265358979323846;

// The shortest decimal that reads back as f, as a double (so the JSON shows "0.9", not 0.899999976).
double shortest(float f) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, f).ptr;
    *end = '\0';
    return std::strtod(text, nullptr);
}

Ordered vec(const Vec3& v) { return Ordered::array({shortest(v.x), shortest(v.y), shortest(v.z)}); }
// Radians as degrees; the reader's conversion back gives the same float.
double degrees(float radians) { return static_cast<double>(radians) * kDegreesPerRadian; }
double radius(float squared) { return std::sqrt(static_cast<double>(squared)); }

Ordered matrix(const Matrix34& m) {
    Ordered j = Ordered::array();
    for (float v : m.m) j.push_back(shortest(v));
    return j;
}

// The placement, and the matrices the shape keeps, exactly: inverting the placement again would
// round differently.
void transform(Ordered& j, const Matrix34& worldToLocal, const ShapeTransform* normals) {
    j["transform"] = Ordered::array({Ordered{{"matrix", matrix(inverse(worldToLocal))}}});
    j["worldToLocal"] = matrix(worldToLocal);
    if (normals) j["normalMatrix"] = matrix(normals->matrix);
}

Ordered corners(const TextureCorners& c, int count) {
    Ordered uv = Ordered::array();
    for (int i = 0; i < count; ++i) uv.push_back(Ordered::array({shortest(c.s[i]), shortest(c.t[i])}));
    return uv;
}

void cornersOf(Ordered& j, const ShapeTransform* t) {
    if (t && t->textureCorners) j["uv"] = corners(*t->textureCorners, 4);
}

Ordered material(const Material& m, const std::string& name) {
    Ordered j;
    j["name"] = name;
    j["diffuse"] = vec(m.diffuse);
    j["reflectivity"] = shortest(m.reflectivity);
    j["phongExponent"] = shortest(m.phongExponent);
    if (m.transmission != 0.0f) j["transmission"] = shortest(m.transmission);
    if (m.iorBase != 1.0f) j["refractiveIndex"] = shortest(m.iorBase);
    if (m.iorCoeff != -1.0f) j["dispersion"] = shortest(m.iorCoeff);
    if (m.iorPole != 0.0f) j["dispersionPole"] = shortest(m.iorPole);
    if (m.kind == 1) j["matte"] = true;
    if (const Bitmap* b = m.texture) {
        if (!b->pixels || b->width <= 0 || b->height <= 0) {
            j["texture"] = kUvTextureName;
        } else {
            Ordered pixels = Ordered::array();
            const int rowBytes = (b->width * (b->bitsPerPixel / 8) + 3) & ~3;
            for (int row = 0; row < b->height; ++row)
                for (int column = 0; column < b->width; ++column) {
                    const uint8_t* p = b->pixels + static_cast<size_t>(row) * rowBytes + static_cast<size_t>(column) * 3;
                    pixels.push_back(Ordered::array({p[2], p[1], p[0]}));
                }
            j["texture"] = {{"width", b->width}, {"height", b->height}, {"pixels", pixels}};
            const TextureSampling& how = m.sampling;
            if (how.filtered) {
                static const char* const kWraps[] = {"repeat", "mirror", "clamp"};
                j["texture"]["filtered"] = true;
                j["texture"]["wrap"] = {kWraps[static_cast<int>(how.wrapS)], kWraps[static_cast<int>(how.wrapT)]};
                Ordered transform = Ordered::array();
                for (float v : how.transform) transform.push_back(shortest(v));
                j["texture"]["transform"] = transform;
            }
        }
    }
    return j;
}

Ordered shape(const SceneObject& o) {
    Ordered j;
    j["shape"] = shapeName(o.type);
    switch (o.type) {
        case kTriangle:
        case kParallelogram: {
            const PlanarPatch& p = o.patch;
            j["origin"] = vec(p.origin);
            j["edgeA"] = vec(p.edgeA);
            j["edgeB"] = vec(p.edgeB);
            if (const SurfaceAttributes* a = p.attributes) {
                if (a->vertexNormals)
                    j["normals"] = Ordered::array({vec(a->vertexNormals[0]), vec(a->vertexNormals[1]), vec(a->vertexNormals[2])});
                if (a->textureCorners) j["uv"] = corners(*a->textureCorners, o.type == kTriangle ? 3 : 4);
            }
            break;
        }
        case kSphere:
            j["centre"] = vec(o.sphere.centre);
            j["radius"] = radius(o.sphere.radiusSquared);
            break;
        case kRevolved:
            transform(j, o.revolved.worldToLocal, o.revolved.normalTransform);
            j["taper"] = shortest(o.revolved.taper);
            if (o.revolved.sweep != 0.0f) j["sweep"] = degrees(o.revolved.sweep);
            cornersOf(j, o.revolved.normalTransform);
            break;
        case kDisc:
            j["centre"] = vec(o.disc.centre);
            j["normal"] = vec(o.disc.normal);
            j["radius"] = radius(o.disc.outerRadiusSquared);
            if (o.disc.innerRadiusSquared != 0.0f) j["innerRadius"] = radius(o.disc.innerRadiusSquared);
            break;
        case kTorus: {
            const Torus& t = o.torus;
            transform(j, t.worldToLocal, t.normalTransform);
            j["majorRadius"] = shortest(t.majorRadius);
            j["minorRadius"] = shortest(t.minorRadius);
            if (t.sweep != 0.0f) j["sweep"] = degrees(t.sweep);
            j["tubeStart"] = degrees(t.tubeStart);
            j["tubeEnd"] = degrees(t.tubeEnd);
            cornersOf(j, t.normalTransform);
            break;
        }
        case kSphereSection: {
            const SphereSection& s = o.section;
            transform(j, s.worldToLocal, nullptr);
            j["centre"] = vec(s.centre);
            j["radius"] = radius(s.radiusSquared);
            j["sweep"] = degrees(s.sweep);
            j["latitudeMin"] = degrees(s.latitudeMin);
            j["latitudeMax"] = degrees(s.latitudeMax);
            cornersOf(j, s.localToWorld);
            break;
        }
        case kParaboloid:
            transform(j, o.paraboloid.worldToLocal, o.paraboloid.normalTransform);
            j["heightMax"] = shortest(o.paraboloid.heightMax);
            if (o.paraboloid.sweep != 0.0f) j["sweep"] = degrees(o.paraboloid.sweep);
            cornersOf(j, o.paraboloid.normalTransform);
            break;
        case kEllipsoidSection: {
            const EllipsoidSection& e = o.ellipsoid;
            transform(j, e.worldToLocal, e.normalTransform);
            j["sweep"] = degrees(e.sweep);
            j["latitudeMin"] = degrees(e.latitudeMin);
            j["latitudeMax"] = degrees(e.latitudeMax);
            cornersOf(j, e.normalTransform);
            break;
        }
        case kMeshFaces: break;  // written triangle by triangle (see meshTriangle)
        case kDiscSector: {
            const DiscSector& d = o.sector;
            transform(j, d.worldToLocal, nullptr);
            j["centre"] = vec(d.centre);
            j["normal"] = vec(d.normal);
            j["radius"] = radius(d.outerRadiusSquared);
            if (d.innerRadiusSquared != 0.0f) j["innerRadius"] = radius(d.innerRadiusSquared);
            if (d.sweep != 0.0f) j["sweep"] = degrees(d.sweep);
            break;
        }
    }
    return j;
}

// Triangle t of the scene's meshes as a triangle entry of its part's object `o`.
Ordered meshTriangle(const SceneObject& o, uint32_t t) {
    const MeshStore& m = *o.faces.store;
    const uint32_t* i = m.triangle(t);
    const Vec3 &a = m.positions[i[0]], &b = m.positions[i[1]], &c = m.positions[i[2]];
    Ordered j;
    j["shape"] = shapeName(kTriangle);
    j["origin"] = vec(a);
    j["edgeA"] = vec(sub(b, a));
    j["edgeB"] = vec(sub(c, a));
    if (o.faces.smooth) {
        const Vec3 &na = m.normals[i[0]], &nb = m.normals[i[1]], &nc = m.normals[i[2]];
        if (dot(na, na) > 0.0 && dot(nb, nb) > 0.0 && dot(nc, nc) > 0.0)
            j["normals"] = Ordered::array({vec(na), vec(nb), vec(nc)});
    }
    if (o.faces.textured) {
        TextureCorners uv{};
        for (int k = 0; k < 3; ++k) uv.s[k] = m.texcoords[2 * i[k]], uv.t[k] = m.texcoords[2 * i[k] + 1];
        j["uv"] = corners(uv, 3);
    }
    return j;
}

Ordered photonMap(bool offered, bool onOpen, float scale) {
    Ordered j;
    j["offered"] = offered;
    j["onOpen"] = onOpen;
    j["estimateScale"] = shortest(scale);
    return j;
}

// Only scalars inside, at any depth: such an array is written on one line.
bool flat(const Ordered& j) {
    if (!j.is_array()) return !j.is_object();
    for (const Ordered& e : j)
        if (!flat(e)) return false;
    return true;
}

// Like dump(2), but arrays of numbers (vectors, matrices, texture corners) stay on one line.
void write(std::string& out, const Ordered& j, int indent) {
    const std::string pad(static_cast<size_t>(indent) + 2, ' ');
    if (j.is_object()) {
        out += "{\n";
        size_t i = 0;
        for (auto it = j.begin(); it != j.end(); ++it, ++i) {
            out += pad + Ordered(it.key()).dump() + ": ";
            write(out, it.value(), indent + 2);
            out += i + 1 < j.size() ? ",\n" : "\n";
        }
        out += std::string(static_cast<size_t>(indent), ' ') + "}";
    } else if (j.is_array() && !flat(j)) {
        out += "[\n";
        for (size_t i = 0; i < j.size(); ++i) {
            out += pad;
            write(out, j[i], indent + 2);
            out += i + 1 < j.size() ? ",\n" : "\n";
        }
        out += std::string(static_cast<size_t>(indent), ' ') + "]";
    } else {
        for (const char c : j.dump()) {
            out += c;
            if (c == ',') out += ' ';  // numbers and names hold no commas; strings in arrays are flag names
        }
    }
}

}  // namespace

std::string sceneFileText(const Scene& scene) {
    Ordered root;
    root["version"] = kSceneFormatVersion;
    root["title"] = scene.title;

    // Names as the scene has them; a repeated name gets a number so references stay unique.
    std::map<const Material*, std::string> names;
    std::map<std::string, int> used;
    Ordered materials = Ordered::array();
    for (const Material& m : scene.materials) {
        std::string name = m.name;
        if (used[name]++) name += " #" + std::to_string(used[m.name]);
        names[&m] = name;
        materials.push_back(material(m, name));
    }

    // The orbit as the camera keeps it: an eye would come back through rounding to other angles.
    const Camera& c = scene.camera;
    root["camera"] = {{"azimuth", degrees(c.cameraAzimuth)},
                      {"elevation", degrees(c.cameraElevation)},
                      {"distance", shortest(c.orbitRadius)},
                      {"lookAt", vec(c.lookAtPoint)},
                      {"orbitCentre", vec(c.orbitCentre)},
                      {"fieldOfView", degrees(c.fieldOfView)}};

    Ordered light;
    light["position"] = vec(scene.light.position);
    light["intensity"] = shortest(scene.light.intensity);
    if (scene.light.area != 0.0f) light["area"] = shortest(scene.light.area);
    // A mesh part is written as its triangles: the entries' numbers run on past them.
    std::vector<std::vector<uint32_t>> partTriangles(scene.meshes.objects.size());
    for (uint32_t t = 0; t < scene.meshes.triangleCount(); ++t) partTriangles[scene.meshes.parts[t]].push_back(t);
    std::vector<size_t> entry(scene.objects.size());
    size_t entries = 0;
    for (const SceneObject& o : scene.objects) {
        entry[o.index] = entries;
        entries += o.type == kMeshFaces ? partTriangles[o.faces.part].size() : 1;
    }
    if (scene.light.object) light["object"] = entry[scene.light.object->index];
    root["light"] = light;

    const SceneDescriptor& d = scene.descriptor;
    root["photons"] = {{"kernel", d.interpolationKernel},
                       {"caustics", photonMap(d.offersCaustics, d.causticsOnSelect, d.causticEstimateScale)},
                       {"gi", photonMap(d.offersGi, d.giOnSelect, d.giEstimateScale)}};
    root["materials"] = materials;

    Ordered objects = Ordered::array();
    const auto common = [&](const SceneObject& o, Ordered& j) {
        j["material"] = o.material && names.count(o.material) ? names[o.material] : "";
        if (o.flags) {
            Ordered flags = Ordered::array();
            for (const FlagName& f : kFlagNames)
                if (o.flags & f.bit) flags.push_back(f.name);
            j["flags"] = flags;
        }
    };
    for (const SceneObject& o : scene.objects) {
        if (o.type == kMeshFaces) {
            for (uint32_t t : partTriangles[o.faces.part]) {
                Ordered j = meshTriangle(o, t);
                common(o, j);
                objects.push_back(j);
            }
            continue;
        }
        Ordered j = shape(o);
        common(o, j);
        if (&o == scene.freeObject)
            j["free"] = true;
        else if (o.leafCount == 0)
            j["untraced"] = true;
        objects.push_back(j);
    }
    root["objects"] = objects;
    std::string text;
    write(text, root, 0);
    return text + "\n";
}

}  // namespace lumo
