#include "scenefile/mesh_files.h"

#include <sys/stat.h>
#include <tiny_obj_loader.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "scenefile/gltf_file.h"
#include "scenefile/input_file.h"
#include "scenefile/json_fields.h"
#include "scenefile/obj_faces.h"

namespace lumo {

namespace {

// Object indices are 32-bit; far below that, a scene stops being one a CPU can show.
constexpr size_t kMaxSceneObjects = 50000000;

std::string fileNameOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

std::string lowerExtension(const std::string& path) {
    const std::string name = fileNameOf(path);
    const size_t dot = name.find_last_of('.');
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

std::string gib(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f GiB", static_cast<double>(bytes) / (1ull << 30));
    return text;
}

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// ---- OBJ ----

// MTL files through the checked reader, beside the OBJ file unless named by an absolute path. A
// missing one leaves the default material, as the OBJ format intends; one that is no regular file or
// too large is refused.
class MtlReader : public tinyobj::MaterialReader {
public:
    MtlReader(std::string folder, std::vector<std::string>& files) : folder_(std::move(folder)), files_(files) {}

    bool operator()(const std::string& name, std::vector<tinyobj::material_t>* materials,
                    std::map<std::string, int>* byName, std::string* warning, std::string*) override {
        const std::string path = !name.empty() && name[0] == '/' ? name : folder_ + name;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0 && errno == ENOENT) return false;
        std::string text, reason;
        if (!readInputFile(path, kMaxSceneFileBytes, text, reason)) {
            if (refused_.empty()) refused_ = name + ": " + reason;
            return false;
        }
        files_.push_back(path);
        std::istringstream in(text);
        tinyobj::LoadMtl(byName, materials, &in, warning, nullptr);
        return true;
    }
    const std::string& refused() const { return refused_; }

private:
    std::string folder_;
    std::vector<std::string>& files_;
    std::string refused_;  // the first MTL file refused, with why
};

// An MTL map_Kd image beside the OBJ (or by an absolute path); -1 with a warning when it cannot be
// used, so the material keeps its colour.
int readObjImage(const std::string& objPath, const std::string& name, MeshData& mesh, std::vector<std::string>& files) {
    const size_t slash = objPath.find_last_of('/');
    const std::string path = name[0] == '/' || slash == std::string::npos ? name : objPath.substr(0, slash + 1) + name;
    std::vector<unsigned char> bytes;
    std::string reason;
    DecodedImage image;
    if (!readInputFile(path, kMaxDataFileBytes, bytes, reason) || !decodeImage(bytes.data(), bytes.size(), false, image, reason)) {
        mesh.warnings.push_back("map_Kd " + name + ": " + reason + "; its material keeps its colour");
        return -1;
    }
    files.push_back(path);
    mesh.images.push_back(std::move(image));
    return static_cast<int>(mesh.images.size()) - 1;
}

MeshData readObj(const std::string& path, const std::string& text, const std::string& keyPath,
                 std::vector<std::string>& files) {
    const size_t slash = path.find_last_of('/');
    MtlReader mtl(slash == std::string::npos ? "" : path.substr(0, slash + 1), files);
    tinyobj::attrib_t a;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> objMaterials;
    std::string warning, error;
    // The loader reads leniently (indices wrap, numbers end at any character); the text is checked first.
    checkObjText(text, path, keyPath);
    std::istringstream in(text);
    // Polygons come whole and are cut into triangles below.
    const bool ok = tinyobj::LoadObj(&a, &shapes, &objMaterials, &warning, &error, &in, &mtl, false, false);
    if (!mtl.refused().empty()) fault(keyPath, path + ": mtllib " + mtl.refused());
    if (!ok) {
        while (!error.empty() && (error.back() == '\n' || error.back() == '\r')) error.pop_back();
        const size_t newline = error.find('\n');
        if (newline != std::string::npos) error = error.substr(0, newline);
        fault(keyPath, path + ": " + (error.empty() ? "not a readable OBJ file" : error));
    }
    MeshData mesh;
    const std::string& name = path;
    mesh.positions.reserve(a.vertices.size() / 3);
    for (size_t i = 0; i + 2 < a.vertices.size(); i += 3) {
        const Vec3 p{a.vertices[i], a.vertices[i + 1], a.vertices[i + 2]};
        if (!finite(p)) fault(keyPath, name + ": vertex " + std::to_string(i / 3 + 1) + " is not finite");
        mesh.positions.push_back(p);
    }
    for (size_t i = 0; i + 2 < a.normals.size(); i += 3)
        mesh.normals.push_back({a.normals[i], a.normals[i + 1], a.normals[i + 2]});
    mesh.texcoords.assign(a.texcoords.begin(), a.texcoords.end() - static_cast<long>(a.texcoords.size() % 2));
    for (const tinyobj::material_t& m : objMaterials) {
        MeshData::MeshMaterial mm;
        mm.name = m.name;
        mm.diffuse = {m.diffuse[0], m.diffuse[1], m.diffuse[2]};
        mm.phongExponent = m.shininess > 0.0f ? m.shininess : 0.0f;
        // Mirror-like illumination models take the specular colour's strength as reflectivity.
        if (m.illum == 3 || m.illum == 5 || m.illum == 7)
            mm.reflectivity = std::max({m.specular[0], m.specular[1], m.specular[2]});
        if (m.dissolve < 1.0f) mm.transmission = 1.0f - m.dissolve;
        if (m.ior > 0.0f) mm.iorBase = m.ior;
        if (!m.diffuse_texname.empty()) mm.image = readObjImage(path, m.diffuse_texname, mesh, files);
        if (!finite(mm.diffuse) || !std::isfinite(mm.phongExponent) || !std::isfinite(mm.reflectivity) ||
            !std::isfinite(mm.transmission) || !std::isfinite(mm.iorBase))
            fault(keyPath, name + ": material '" + m.name + "' has a value that is not finite");
        mesh.materials.push_back(mm);
    }
    const int positions = static_cast<int>(mesh.positions.size());
    const int normals = static_cast<int>(mesh.normals.size());
    const int texcoords = static_cast<int>(mesh.texcoords.size() / 2);
    const int materials = static_cast<int>(mesh.materials.size());
    for (const tinyobj::shape_t& shape : shapes) {
        const tinyobj::mesh_t& m = shape.mesh;
        size_t offset = 0;
        for (size_t f = 0; f < m.num_face_vertices.size(); ++f) {
            const size_t n = m.num_face_vertices[f];
            if (offset + n > m.indices.size()) fault(keyPath, name + ": a face lists more corners than it has");
            std::vector<Vec3> polygon(n);
            for (size_t k = 0; k < n; ++k) {
                const int i = m.indices[offset + k].vertex_index;
                if (i < 0 || i >= positions)
                    fault(keyPath, name + ": face " + std::to_string(f + 1) + " names a vertex that does not exist");
                polygon[k] = mesh.positions[static_cast<size_t>(i)];
            }
            const int mat = f < m.material_ids.size() ? m.material_ids[f] : -1;
            for (const std::array<int, 3>& corners : triangulatePolygon(polygon)) {
                MeshData::Triangle t;
                for (int k = 0; k < 3; ++k) {
                    const tinyobj::index_t& i = m.indices[offset + static_cast<size_t>(corners[static_cast<size_t>(k)])];
                    t.corner[k].position = i.vertex_index;
                    t.corner[k].normal = i.normal_index >= 0 && i.normal_index < normals ? i.normal_index : -1;
                    t.corner[k].texcoord = i.texcoord_index >= 0 && i.texcoord_index < texcoords ? i.texcoord_index : -1;
                }
                t.material = mat >= 0 && mat < materials ? mat : -1;
                mesh.triangles.push_back(t);
            }
            offset += n;
        }
    }
    return mesh;
}

}  // namespace

uint64_t availableMemoryBytes() {
    std::ifstream in("/proc/meminfo");
    std::string key;
    uint64_t kib = 0;
    std::string unit;
    while (in >> key >> kib >> unit)
        if (key == "MemAvailable:") return kib * 1024;
    return 0;
}

void checkMemory(uint64_t bytes, const std::string& keyPath, const std::string& what) {
    const uint64_t available = availableMemoryBytes();
    constexpr uint64_t kAbsurd = 64ull << 30;
    if (bytes > kAbsurd || (available && bytes > available))
        fault(keyPath, what + " need about " + gib(bytes) + ", more than the " +
                           (available ? gib(available) + " available" : gib(kAbsurd) + " a scene may use"));
}

MeshData readMeshFile(const std::string& path, const std::string& keyPath) {
    const std::string ext = lowerExtension(path);
    const bool obj = ext == "obj", gltf = ext == "gltf" || ext == "glb";
    if (!obj && !gltf) fault(keyPath, path + ": not a mesh file (.obj, .gltf or .glb)");
    std::vector<std::string> files;
    MeshData mesh;
    if (obj) {
        std::string text, reason;
        if (!readInputFile(path, kMaxDataFileBytes, text, reason)) fault(keyPath, path + ": " + reason);
        if (const std::string problem = notTextProblem(text); !problem.empty()) fault(keyPath, path + ": " + problem);
        files.push_back(path);
        mesh = readObj(path, text, keyPath, files);
    } else {
        // The loader reads the file itself, through the checked reader.
        mesh = readGltf(path, keyPath, ext == "glb", files);
    }
    mesh.files = std::move(files);
    return mesh;
}

size_t addMesh(Scene& scene, const MeshData& mesh, const MeshPlacement& how, const std::string& keyPath,
               size_t& skipped) {
    const size_t count = mesh.triangles.size();
    if (scene.objects.size() + count > kMaxSceneObjects)
        fault(keyPath, std::to_string(count) + " triangles are more than a scene may hold (" +
                           std::to_string(kMaxSceneObjects) + " objects)");
    uint64_t imageBytes = 0;  // the scene keeps its own copy of each texture
    for (const DecodedImage& image : mesh.images) imageBytes += image.pixels.size();
    checkMemory(static_cast<uint64_t>(count) * kBytesPerMeshTriangle + imageBytes, keyPath,
                std::to_string(count) + " triangles and " + std::to_string(mesh.images.size()) + " textures");

    std::vector<const Material*> materials(mesh.materials.size(), nullptr);
    const Material* fallback = how.material;
    auto materialOf = [&](int index) -> const Material* {
        if (how.material) return how.material;
        if (index < 0) {
            if (!fallback) fallback = &scene.newMaterial("mesh default");
            return fallback;
        }
        const Material*& m = materials[static_cast<size_t>(index)];
        if (!m) {
            const MeshData::MeshMaterial& mm = mesh.materials[static_cast<size_t>(index)];
            Material& made = scene.newMaterial(mm.name.c_str());
            made.diffuse = mm.diffuse;
            made.reflectivity = mm.reflectivity;
            made.phongExponent = mm.phongExponent;
            made.transmission = mm.transmission;
            made.iorBase = mm.iorBase;
            if (mm.image >= 0) {
                const DecodedImage& image = mesh.images[static_cast<size_t>(mm.image)];
                Bitmap& b = scene.bitmaps.emplace_back();
                b.width = image.width;
                b.height = image.height;
                b.pixels = scene.bitmapPixels.emplace_back(image.pixels).data();
                made.texture = &b;
            }
            m = &made;
        }
        return m;
    };

    const Matrix34 normals = normalMatrix(how.placement);
    size_t added = 0;
    for (const MeshData::Triangle& t : mesh.triangles) {
        Vec3 p[3];
        for (int k = 0; k < 3; ++k) p[k] = transformPoint(mesh.positions[static_cast<size_t>(t.corner[k].position)], how.placement);
        const Vec3 a = sub(p[1], p[0]), b = sub(p[2], p[0]);
        if (!(length(cross(a, b)) > 1e-12)) {
            ++skipped;
            continue;
        }
        SceneObject& o = scene.newObject();
        initPlanarPatch(o);
        o.type = kTriangle;
        o.flags = how.flags;
        o.material = materialOf(t.material);
        o.patch.origin = p[0];
        o.patch.edgeA = a;
        o.patch.edgeB = b;
        prepareParallelogram(o);
        const bool hasNormals = how.smooth && t.corner[0].normal >= 0 && t.corner[1].normal >= 0 && t.corner[2].normal >= 0;
        const bool hasUv = t.corner[0].texcoord >= 0 && t.corner[1].texcoord >= 0 && t.corner[2].texcoord >= 0;
        if (hasNormals || hasUv) {
            SurfaceAttributes& attributes = scene.surfaceAttributes.emplace_back();
            if (hasNormals) {
                std::array<Vec3, 3>& n = scene.vertexNormals.emplace_back();
                bool usable = true;
                for (int k = 0; k < 3; ++k) {
                    const Vec3 v = transformDirection(mesh.normals[static_cast<size_t>(t.corner[k].normal)], normals);
                    const double len = length(v);
                    usable &= len > 1e-20 && std::isfinite(len);
                    n[static_cast<size_t>(k)] = usable ? scaleByDouble(1.0 / len, v) : v;
                }
                if (usable) attributes.vertexNormals = n.data();
            }
            if (hasUv) {
                TextureCorners& c = scene.textureCorners.emplace_back();
                for (int k = 0; k < 4; ++k) c.s[k] = c.t[k] = 0.0f;
                for (int k = 0; k < 3; ++k) {
                    const size_t i = static_cast<size_t>(t.corner[k].texcoord) * 2;
                    c.s[k] = mesh.texcoords[i];
                    c.t[k] = mesh.texcoords[i + 1];
                }
                attributes.textureCorners = &c;
            }
            o.patch.attributes = &attributes;
        }
        ++added;
    }
    return added;
}

}  // namespace lumo
