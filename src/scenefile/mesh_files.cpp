#include "scenefile/mesh_files.h"

#include <sys/stat.h>
#include <tiny_gltf.h>
#include <tiny_obj_loader.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "scenefile/input_file.h"
#include "scenefile/json_fields.h"
#include "scenefile/obj_faces.h"

namespace lumo {

namespace {

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

MeshData readObj(const std::string& path, const std::string& text, const std::string& keyPath,
                 std::vector<std::string>& files) {
    const size_t slash = path.find_last_of('/');
    MtlReader mtl(slash == std::string::npos ? "" : path.substr(0, slash + 1), files);
    tinyobj::attrib_t a;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> objMaterials;
    std::string warning, error;
    // The loader reads leniently (indices wrap, numbers end at any character); the text is checked first.
    checkObjText(text, fileNameOf(path), keyPath);
    std::istringstream in(text);
    // Polygons come whole and are cut into triangles below.
    const bool ok = tinyobj::LoadObj(&a, &shapes, &objMaterials, &warning, &error, &in, &mtl, false, false);
    if (!mtl.refused().empty()) fault(keyPath, fileNameOf(path) + ": mtllib " + mtl.refused());
    if (!ok) {
        while (!error.empty() && (error.back() == '\n' || error.back() == '\r')) error.pop_back();
        const size_t newline = error.find('\n');
        if (newline != std::string::npos) error = error.substr(0, newline);
        fault(keyPath, fileNameOf(path) + ": " + (error.empty() ? "not a readable OBJ file" : error));
    }
    MeshData mesh;
    const std::string name = fileNameOf(path);
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

// ---- glTF ----

using Mat4 = std::array<double, 16>;  // column-major, column vectors, as glTF stores matrices

Mat4 identity4() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

Mat4 mul(const Mat4& a, const Mat4& b) {
    Mat4 r{};
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            double s = 0.0;
            for (int k = 0; k < 4; ++k) s += a[k * 4 + row] * b[c * 4 + k];
            r[c * 4 + row] = s;
        }
    return r;
}

Mat4 nodeMatrix(const tinygltf::Node& n) {
    if (n.matrix.size() == 16) {
        Mat4 m;
        for (int i = 0; i < 16; ++i) m[i] = n.matrix[i];
        return m;
    }
    Mat4 m = identity4();
    if (n.scale.size() == 3)
        for (int c = 0; c < 3; ++c) m[c * 5] = n.scale[c];
    if (n.rotation.size() == 4) {
        const double x = n.rotation[0], y = n.rotation[1], z = n.rotation[2], w = n.rotation[3];
        const Mat4 r = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),     0,
                        2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),     0,
                        2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y), 0,
                        0,                       0,                       0,                       1};
        m = mul(r, m);
    }
    if (n.translation.size() == 3) {
        Mat4 t = identity4();
        for (int c = 0; c < 3; ++c) t[12 + c] = n.translation[c];
        m = mul(t, m);
    }
    return m;
}

// The row-vector Matrix34 of a column-vector 4x4.
Matrix34 toMatrix34(const Mat4& m) {
    Matrix34 r;
    const int from[12] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14};
    for (int i = 0; i < 12; ++i) r.m[i] = static_cast<float>(m[from[i]]);
    return r;
}

class GltfReader {
public:
    GltfReader(const tinygltf::Model& model, MeshData& mesh, std::string name, std::string keyPath)
        : model_(model), mesh_(mesh), name_(std::move(name)), keyPath_(std::move(keyPath)) {}

    void read() {
        for (const tinygltf::Material& m : model_.materials) {
            MeshData::MeshMaterial mm;
            mm.name = m.name.empty() ? "material " + std::to_string(mesh_.materials.size()) : m.name;
            const std::vector<double>& c = m.pbrMetallicRoughness.baseColorFactor;
            if (c.size() >= 3) mm.diffuse = {static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2])};
            if (!finite(mm.diffuse)) fail("material '" + mm.name + "' has a colour that is not finite");
            mesh_.materials.push_back(mm);
        }
        const int sceneIndex = model_.defaultScene >= 0 ? model_.defaultScene : 0;
        if (sceneIndex < static_cast<int>(model_.scenes.size())) {
            for (int node : model_.scenes[static_cast<size_t>(sceneIndex)].nodes) visit(node, identity4(), 0);
        } else {
            for (size_t i = 0; i < model_.meshes.size(); ++i) addMesh(static_cast<int>(i), identity4());
        }
    }

private:
    [[noreturn]] void fail(const std::string& what) { fault(keyPath_, name_ + ": " + what); }

    void visit(int node, const Mat4& parent, int depth) {
        if (node < 0 || node >= static_cast<int>(model_.nodes.size())) fail("a scene names a node that does not exist");
        if (depth > 64) fail("the node hierarchy is deeper than 64 levels or loops");
        const tinygltf::Node& n = model_.nodes[static_cast<size_t>(node)];
        const Mat4 world = mul(parent, nodeMatrix(n));
        if (n.mesh >= 0) addMesh(n.mesh, world);
        for (int child : n.children) visit(child, world, depth + 1);
    }

    // The bytes of an accessor's elements: checked against its view and buffer before any is read.
    const unsigned char* elements(int accessor, int type, const std::vector<int>& componentTypes, size_t& count,
                                  size_t& stride, int& componentType) {
        if (accessor < 0 || accessor >= static_cast<int>(model_.accessors.size()))
            fail("a primitive names an accessor that does not exist");
        const tinygltf::Accessor& a = model_.accessors[static_cast<size_t>(accessor)];
        if (a.sparse.isSparse) fail("sparse accessors are not supported");
        if (a.type != type) fail("accessor " + std::to_string(accessor) + " has the wrong element type");
        componentType = a.componentType;
        bool known = false;
        for (int t : componentTypes) known |= t == componentType;
        if (!known) fail("accessor " + std::to_string(accessor) + " has an unsupported component type");
        if (a.bufferView < 0 || a.bufferView >= static_cast<int>(model_.bufferViews.size()))
            fail("accessor " + std::to_string(accessor) + " has no buffer view");
        const tinygltf::BufferView& v = model_.bufferViews[static_cast<size_t>(a.bufferView)];
        if (v.buffer < 0 || v.buffer >= static_cast<int>(model_.buffers.size()))
            fail("a buffer view names a buffer that does not exist");
        const std::vector<unsigned char>& data = model_.buffers[static_cast<size_t>(v.buffer)].data;
        const size_t componentSize = static_cast<size_t>(tinygltf::GetComponentSizeInBytes(static_cast<uint32_t>(componentType)));
        const size_t elementSize = componentSize * static_cast<size_t>(tinygltf::GetNumComponentsInType(static_cast<uint32_t>(type)));
        stride = v.byteStride ? v.byteStride : elementSize;
        count = a.count;
        const size_t viewEnd = v.byteOffset + v.byteLength;
        const size_t start = v.byteOffset + a.byteOffset;
        if (viewEnd > data.size() || start > viewEnd || stride < elementSize ||
            (count > 0 && (count - 1 > (viewEnd - start) / stride || (count - 1) * stride + elementSize > viewEnd - start)))
            fail("accessor " + std::to_string(accessor) + " reaches past the end of its buffer");
        return data.data() + start;
    }

    int readVectors(int accessor, int type, std::vector<float>& out) {
        size_t count = 0, stride = 0;
        int componentType = 0;
        const unsigned char* p = elements(accessor, type, {TINYGLTF_COMPONENT_TYPE_FLOAT}, count, stride, componentType);
        const int n = tinygltf::GetNumComponentsInType(static_cast<uint32_t>(type));
        out.resize(count * static_cast<size_t>(n));
        for (size_t i = 0; i < count; ++i) std::memcpy(&out[i * static_cast<size_t>(n)], p + i * stride, sizeof(float) * static_cast<size_t>(n));
        return static_cast<int>(count);
    }

    void addMesh(int meshIndex, const Mat4& world) {
        if (meshIndex < 0 || meshIndex >= static_cast<int>(model_.meshes.size())) fail("a node names a mesh that does not exist");
        const Matrix34 place = toMatrix34(world);
        const Matrix34 normals = normalMatrix(place);
        for (const tinygltf::Primitive& prim : model_.meshes[static_cast<size_t>(meshIndex)].primitives) {
            if (prim.mode != TINYGLTF_MODE_TRIANGLES && prim.mode != -1) continue;  // points and lines: no surface
            const auto position = prim.attributes.find("POSITION");
            if (position == prim.attributes.end()) continue;
            std::vector<float> p, n, uv;
            const int vertices = readVectors(position->second, TINYGLTF_TYPE_VEC3, p);
            const int base = static_cast<int>(mesh_.positions.size());
            for (int i = 0; i < vertices; ++i) {
                const Vec3 v = transformPoint({p[i * 3], p[i * 3 + 1], p[i * 3 + 2]}, place);
                if (!finite(v)) fail("vertex " + std::to_string(i) + " is not finite");
                mesh_.positions.push_back(v);
            }
            int normalBase = -1, uvBase = -1;
            const auto normal = prim.attributes.find("NORMAL");
            if (normal != prim.attributes.end() && readVectors(normal->second, TINYGLTF_TYPE_VEC3, n) == vertices) {
                normalBase = static_cast<int>(mesh_.normals.size());
                for (int i = 0; i < vertices; ++i)
                    mesh_.normals.push_back(transformDirection({n[i * 3], n[i * 3 + 1], n[i * 3 + 2]}, normals));
            }
            const auto texcoord = prim.attributes.find("TEXCOORD_0");
            if (texcoord != prim.attributes.end() && readVectors(texcoord->second, TINYGLTF_TYPE_VEC2, uv) == vertices) {
                uvBase = static_cast<int>(mesh_.texcoords.size() / 2);
                mesh_.texcoords.insert(mesh_.texcoords.end(), uv.begin(), uv.end());
            }
            std::vector<uint32_t> indices;
            if (prim.indices >= 0) {
                size_t count = 0, stride = 0;
                int type = 0;
                const unsigned char* q = elements(prim.indices, TINYGLTF_TYPE_SCALAR,
                                                  {TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                                                   TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT},
                                                  count, stride, type);
                indices.resize(count);
                for (size_t i = 0; i < count; ++i) {
                    const unsigned char* e = q + i * stride;
                    if (type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE) {
                        indices[i] = *e;
                    } else if (type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) {
                        uint16_t v;
                        std::memcpy(&v, e, 2);
                        indices[i] = v;
                    } else {
                        std::memcpy(&indices[i], e, 4);
                    }
                    if (indices[i] >= static_cast<uint32_t>(vertices))
                        fail("index " + std::to_string(indices[i]) + " names a vertex that does not exist");
                }
            } else {
                indices.resize(static_cast<size_t>(vertices));
                for (int i = 0; i < vertices; ++i) indices[static_cast<size_t>(i)] = static_cast<uint32_t>(i);
            }
            const int material = prim.material >= 0 && prim.material < static_cast<int>(mesh_.materials.size()) ? prim.material : -1;
            for (size_t i = 0; i + 2 < indices.size(); i += 3) {
                MeshData::Triangle t;
                for (int k = 0; k < 3; ++k) {
                    const int v = static_cast<int>(indices[i + static_cast<size_t>(k)]);
                    t.corner[k].position = base + v;
                    t.corner[k].normal = normalBase >= 0 ? normalBase + v : -1;
                    t.corner[k].texcoord = uvBase >= 0 ? uvBase + v : -1;
                }
                t.material = material;
                mesh_.triangles.push_back(t);
            }
        }
    }

    const tinygltf::Model& model_;
    MeshData& mesh_;
    std::string name_;
    std::string keyPath_;
};

// Images are not used: skip decoding them.
bool skipImage(tinygltf::Image*, const int, std::string*, std::string*, int, int, const unsigned char*, int, void*) {
    return true;
}

// The loader's file access goes through the checked reader; every file it reads is noted.
struct GltfFiles {
    std::vector<std::string>& files;
    std::string refused;  // the first file refused, with why
};

bool gltfFileExists(const std::string& path, void*) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

std::string gltfExpandPath(const std::string& path, void*) { return path; }

bool gltfReadFile(std::vector<unsigned char>* out, std::string* error, const std::string& path, void* user) {
    GltfFiles& files = *static_cast<GltfFiles*>(user);
    std::string reason;
    if (!readInputFile(path, kMaxDataFileBytes, *out, reason)) {
        if (files.refused.empty()) files.refused = fileNameOf(path) + ": " + reason;
        if (error) *error = reason;
        return false;
    }
    files.files.push_back(path);
    return true;
}

bool gltfWriteFile(std::string* error, const std::string&, const std::vector<unsigned char>&, void*) {
    if (error) *error = "writing is not allowed";
    return false;
}

MeshData readGltf(const std::string& path, const std::string& keyPath, bool binary, std::vector<std::string>& files) {
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(skipImage, nullptr);
    GltfFiles access{files, {}};
    loader.SetFsCallbacks({gltfFileExists, gltfExpandPath, gltfReadFile, gltfWriteFile, &access});
    tinygltf::Model model;
    std::string error, warning;
    const bool ok = binary ? loader.LoadBinaryFromFile(&model, &error, &warning, path)
                           : loader.LoadASCIIFromFile(&model, &error, &warning, path);
    if (!access.refused.empty()) fault(keyPath, access.refused);
    if (!ok) {
        const size_t newline = error.find('\n');
        if (newline != std::string::npos) error = error.substr(0, newline);
        fault(keyPath, fileNameOf(path) + ": " + (error.empty() ? "not a readable glTF file" : error));
    }
    MeshData mesh;
    GltfReader(model, mesh, fileNameOf(path), keyPath).read();
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
    if (!obj && !gltf) fault(keyPath, fileNameOf(path) + ": not a mesh file (.obj, .gltf or .glb)");
    std::vector<std::string> files;
    MeshData mesh;
    if (obj) {
        std::string text, reason;
        if (!readInputFile(path, kMaxDataFileBytes, text, reason)) fault(keyPath, fileNameOf(path) + ": " + reason);
        files.push_back(path);
        mesh = readObj(path, text, keyPath, files);
    } else {
        // The loader reads the file itself, through the checked reader.
        mesh = readGltf(path, keyPath, ext == "glb", files);
    }
    mesh.files = std::move(files);
    return mesh;
}

}  // namespace lumo
