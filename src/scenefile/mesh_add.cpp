// A read mesh joins a scene: its triangles go into the scene's MeshStore, one kMeshFaces object per
// material stands for them in shading.
#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "scenefile/json_fields.h"
#include "scenefile/mesh_files.h"

namespace lumo {

namespace {

// Triangle numbers are 32-bit; far below that, a scene stops being one a CPU can show.
constexpr size_t kMaxMeshTriangles = 50000000;
constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr Vec3 kWhite{1.0f, 1.0f, 1.0f};

// The store's vertices of one mesh: a file corner (position, normal, texture coordinates) becomes a
// vertex the first time it is met. A position met again with the same attributes, as in most files,
// is found at once; other combinations through a map.
struct VertexMap {
    MeshStore& store;
    std::vector<uint32_t> first;               // by file position: the vertex it made first
    std::vector<std::pair<int, int>> firstAttributes;
    std::map<std::tuple<int, int, int>, uint32_t> others;

    const std::vector<Vec3>& colours;          // the file's, by position; empty: none

    uint32_t vertex(int position, int normal, int texcoord, const Vec3& p, const Vec3& n, const float* st) {
        const size_t i = static_cast<size_t>(position);
        if (first[i] != kNone) {
            if (firstAttributes[i] == std::make_pair(normal, texcoord)) return first[i];
            const auto found = others.find({position, normal, texcoord});
            if (found != others.end()) return found->second;
        }
        const uint32_t made = static_cast<uint32_t>(store.positions.size());
        store.positions.push_back(p);
        if (!store.normals.empty() || normal >= 0) {
            store.normals.resize(made, Vec3{0.0f, 0.0f, 0.0f});
            store.normals.push_back(n);
        }
        if (!store.texcoords.empty() || texcoord >= 0) {
            store.texcoords.resize(size_t{2} * made, 0.0f);
            store.texcoords.push_back(st[0]);
            store.texcoords.push_back(st[1]);
        }
        if (!store.colours.empty() || !colours.empty()) {
            store.colours.resize(made, kWhite);
            store.colours.push_back(colours.empty() ? kWhite : colours[i]);
        }
        if (first[i] == kNone) {
            first[i] = made;
            firstAttributes[i] = {normal, texcoord};
        } else {
            others[{position, normal, texcoord}] = made;
        }
        return made;
    }
};

// A triangle with corners p is added unless its area is too small to give it a normal.
bool largeEnough(const Vec3* p) { return length(cross(sub(p[1], p[0]), sub(p[2], p[0]))) > 1e-12; }

}  // namespace

bool placedBounds(const MeshData& mesh, const Matrix34& placement, Box& box) {
    bool any = false;
    for (const MeshData::Triangle& t : mesh.triangles) {
        Vec3 p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = transformPoint(mesh.positions[static_cast<size_t>(t.corner[k].position)], placement);
        if (!largeEnough(p)) continue;
        for (int k = 0; k < 3; ++k) {
            if (!any) box = {p[k], p[k]};
            any = true;
            box.min = {std::min(box.min.x, p[k].x), std::min(box.min.y, p[k].y), std::min(box.min.z, p[k].z)};
            box.max = {std::max(box.max.x, p[k].x), std::max(box.max.y, p[k].y), std::max(box.max.z, p[k].z)};
        }
    }
    return any;
}

size_t addMesh(Scene& scene, const MeshData& mesh, const MeshPlacement& how, const std::string& keyPath,
               size_t& skipped) {
    MeshStore& store = scene.meshes;
    const size_t count = mesh.triangles.size();
    if (store.triangleCount() + count > kMaxMeshTriangles)
        fault(keyPath, std::to_string(count) + " triangles are more than a scene may hold (" +
                           std::to_string(kMaxMeshTriangles) + " triangles)");
    uint64_t imageBytes = 0;  // the scene keeps its own copy of each texture
    for (const DecodedImage& image : mesh.images) imageBytes += image.pixels.size();
    checkMemory(static_cast<uint64_t>(count) * kBytesPerMeshTriangle + imageBytes + mesh.colours.size() * sizeof(Vec3), keyPath,
                std::to_string(count) + " triangles and " + std::to_string(mesh.images.size()) + " textures");

    // One part per material the triangles use, made when first met.
    std::vector<uint32_t> partOf(mesh.materials.size() + 1, kNone);  // by material index + 1
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
                made.sampling = mm.sampling;
                made.sampling.filtered = true;
            }
            m = &made;
        }
        return m;
    };
    auto partFor = [&](int material) -> uint32_t {
        const size_t key = how.material ? 0 : static_cast<size_t>(material + 1);
        uint32_t& part = partOf[key];
        if (part == kNone) {
            if (store.objects.size() >= kMaxMeshParts)
                fault(keyPath, "the meshes have more than " + std::to_string(kMaxMeshParts) + " materials");
            part = scene.newMeshPart(materialOf(material), how.flags).faces.part;
        }
        return part;
    };

    // Vertex normals in scene coordinates, and which of them can be used (finite, not zero).
    const Matrix34 normalTransform = normalMatrix(how.placement);
    std::vector<Vec3> normals(how.smooth ? mesh.normals.size() : 0);
    std::vector<bool> usable(normals.size(), false);
    for (size_t i = 0; i < normals.size(); ++i) {
        const Vec3 v = transformDirection(mesh.normals[i], normalTransform);
        const double len = length(v);
        usable[i] = len > 1e-20 && std::isfinite(len);
        normals[i] = usable[i] ? scaleByDouble(1.0 / len, v) : v;
    }

    VertexMap vertices{store, std::vector<uint32_t>(mesh.positions.size(), kNone),
                       std::vector<std::pair<int, int>>(mesh.positions.size()), {}, mesh.colours};
    store.corners.reserve(store.corners.size() + 3 * count);
    store.parts.reserve(store.parts.size() + count);
    size_t added = 0;
    for (const MeshData::Triangle& t : mesh.triangles) {
        Vec3 p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = transformPoint(mesh.positions[static_cast<size_t>(t.corner[k].position)], how.placement);
        if (!largeEnough(p)) {
            ++skipped;
            continue;
        }
        bool smooth = how.smooth, textured = true;
        for (int k = 0; k < 3; ++k) {
            const int n = t.corner[k].normal;
            smooth = smooth && n >= 0 && usable[static_cast<size_t>(n)];
            textured = textured && t.corner[k].texcoord >= 0;
        }
        const uint32_t part = partFor(t.material);
        MeshFaces& faces = store.objects[part]->faces;
        faces.smooth = faces.smooth || smooth;
        faces.textured = faces.textured || textured;
        if (!mesh.colours.empty()) store.objects[part]->flags |= kVertexColours;
        ++faces.triangleCount;
        for (int k = 0; k < 3; ++k) {
            const MeshData::Corner& c = t.corner[k];
            const int n = smooth ? c.normal : -1, uv = textured ? c.texcoord : -1;
            const float st[2] = {uv >= 0 ? mesh.texcoords[2 * static_cast<size_t>(uv)] : 0.0f,
                                 uv >= 0 ? mesh.texcoords[2 * static_cast<size_t>(uv) + 1] : 0.0f};
            store.corners.push_back(vertices.vertex(c.position, n, uv, p[k],
                                                    n >= 0 ? normals[static_cast<size_t>(n)] : Vec3{0.0f, 0.0f, 0.0f}, st));
        }
        store.parts.push_back(static_cast<uint16_t>(part));
        ++added;
    }
    // Vertices made before a mesh with normals or texture coordinates came keep zeros (white for colours).
    if (!store.normals.empty()) store.normals.resize(store.positions.size(), Vec3{0.0f, 0.0f, 0.0f});
    if (!store.texcoords.empty()) store.texcoords.resize(2 * store.positions.size(), 0.0f);
    if (!store.colours.empty()) store.colours.resize(store.positions.size(), kWhite);
    return added;
}

}  // namespace lumo
