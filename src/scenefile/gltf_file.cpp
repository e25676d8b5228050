#include "scenefile/gltf_file.h"

#include <sys/stat.h>
#include <tiny_gltf.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <string_view>

#include "scenefile/image_file.h"
#include "scenefile/input_file.h"
#include "scenefile/json_fields.h"

namespace lumo {

namespace {

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

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
    GltfReader(const tinygltf::Model& model, const std::map<int, std::vector<unsigned char>>& imageBytes, MeshData& mesh,
               std::string name, std::string keyPath)
        : model_(model), imageBytes_(imageBytes), mesh_(mesh), name_(std::move(name)), keyPath_(std::move(keyPath)) {}

    void read() {
        for (const tinygltf::Material& m : model_.materials) {
            MeshData::MeshMaterial mm;
            mm.name = m.name.empty() ? "material " + std::to_string(mesh_.materials.size()) : m.name;
            const std::vector<double>& c = m.pbrMetallicRoughness.baseColorFactor;
            if (c.size() >= 3) mm.diffuse = {static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2])};
            if (!finite(mm.diffuse)) fail("material '" + mm.name + "' has a colour that is not finite");
            const tinygltf::TextureInfo& texture = m.pbrMetallicRoughness.baseColorTexture;
            mm.image = baseColourImage(texture.index);
            if (mm.image >= 0) mm.sampling = sampling(texture, mm.name);
            mesh_.materials.push_back(mm);
        }
        // The file's scene, else its first one; a file without scenes shows every root node, and
        // one without nodes its meshes as they are.
        const size_t scenes = model_.scenes.size();
        if (model_.defaultScene >= 0 && static_cast<size_t>(model_.defaultScene) >= scenes)
            fail("scene " + std::to_string(model_.defaultScene) + " does not exist (the file has " +
                 std::to_string(scenes) + ")");
        if (scenes > 0) {
            const size_t chosen = model_.defaultScene >= 0 ? static_cast<size_t>(model_.defaultScene) : 0;
            for (int node : model_.scenes[chosen].nodes) visit(node, identity4(), 0);
        } else if (!model_.nodes.empty()) {
            std::vector<bool> isChild(model_.nodes.size(), false);
            for (const tinygltf::Node& n : model_.nodes)
                for (int child : n.children)
                    if (child >= 0 && static_cast<size_t>(child) < isChild.size()) isChild[static_cast<size_t>(child)] = true;
            for (size_t i = 0; i < model_.nodes.size(); ++i)
                if (!isChild[i]) visit(static_cast<int>(i), identity4(), 0);
        } else {
            for (size_t i = 0; i < model_.meshes.size(); ++i) addMesh(static_cast<int>(i), identity4());
        }
        if (unread_ > 0)
            mesh_.warnings.push_back(std::to_string(unread_) + " primitive" + (unread_ == 1 ? "" : "s") +
                                     " of points or lines, or without positions, not read");
        if (noPrimitives_ > 0)
            mesh_.warnings.push_back(std::to_string(noPrimitives_) + " mesh" + (noPrimitives_ == 1 ? " has" : "es have") +
                                     " no primitives (expected an array of them)");
    }

private:
    [[noreturn]] void fail(const std::string& what) { fault(keyPath_, name_ + ": " + what); }

    static TextureWrap wrapMode(int mode) {
        return mode == TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE     ? TextureWrap::kClampToEdge
               : mode == TINYGLTF_TEXTURE_WRAP_MIRRORED_REPEAT ? TextureWrap::kMirroredRepeat
                                                               : TextureWrap::kRepeat;
    }

    // A number of an extension object, `fallback` when absent or not a finite number.
    static double number(const tinygltf::Value& v, double fallback) {
        return v.IsNumber() && std::isfinite(v.GetNumberAsDouble()) ? v.GetNumberAsDouble() : fallback;
    }

    // The texture's sampler (wrap modes per axis) and its KHR_texture_transform, as an affine map
    // of (s, t): offset + rotation * (scale * (s, t)), the rotation turning s towards -t.
    TextureSampling sampling(const tinygltf::TextureInfo& info, const std::string& material) {
        TextureSampling how;
        const tinygltf::Texture& texture = model_.textures[static_cast<size_t>(info.index)];
        if (texture.sampler >= 0 && static_cast<size_t>(texture.sampler) < model_.samplers.size()) {
            const tinygltf::Sampler& sampler = model_.samplers[static_cast<size_t>(texture.sampler)];
            how.wrapS = wrapMode(sampler.wrapS);
            how.wrapT = wrapMode(sampler.wrapT);
        }
        int texCoord = info.texCoord;
        const auto found = info.extensions.find("KHR_texture_transform");
        if (found != info.extensions.end() && found->second.IsObject()) {
            const tinygltf::Value& t = found->second;
            const tinygltf::Value &offset = t.Get("offset"), &scale = t.Get("scale");
            const double ox = offset.IsArray() && offset.ArrayLen() == 2 ? number(offset.Get(0), 0.0) : 0.0;
            const double oy = offset.IsArray() && offset.ArrayLen() == 2 ? number(offset.Get(1), 0.0) : 0.0;
            const double sx = scale.IsArray() && scale.ArrayLen() == 2 ? number(scale.Get(0), 1.0) : 1.0;
            const double sy = scale.IsArray() && scale.ArrayLen() == 2 ? number(scale.Get(1), 1.0) : 1.0;
            const double r = number(t.Get("rotation"), 0.0);
            const double c = std::cos(r), s = std::sin(r);
            const double m[6] = {c * sx, s * sy, ox, -s * sx, c * sy, oy};
            for (int i = 0; i < 6; ++i) how.transform[i] = static_cast<float>(m[i]);
            if (t.Get("texCoord").IsInt()) texCoord = t.Get("texCoord").GetNumberAsInt();
        }
        if (texCoord != 0)
            mesh_.warnings.push_back("material '" + material + "' maps its texture by TEXCOORD_" + std::to_string(texCoord) +
                                     ", which is not supported; TEXCOORD_0 is used");
        return how;
    }

    // The decoded image of a texture (into mesh_.images, each image once); -1 with a warning when
    // it cannot be used, so the material keeps its colour.
    int baseColourImage(int texture) {
        if (texture < 0) return -1;
        const int source = static_cast<size_t>(texture) < model_.textures.size() ? model_.textures[static_cast<size_t>(texture)].source : -1;
        if (source < 0 || static_cast<size_t>(source) >= model_.images.size()) {
            mesh_.warnings.push_back("texture " + std::to_string(texture) + " names no image");
            return -1;
        }
        if (const auto done = decoded_.find(source); done != decoded_.end()) return done->second;
        int& index = decoded_[source] = -1;
        const tinygltf::Image& image = model_.images[static_cast<size_t>(source)];
        const std::string what = "image " + std::to_string(source) + (image.uri.empty() || image.uri.rfind("data:", 0) == 0 ? "" : " (" + image.uri + ")");
        const unsigned char* bytes = nullptr;
        size_t size = 0;
        if (const auto raw = imageBytes_.find(source); raw != imageBytes_.end()) {
            bytes = raw->second.data();
            size = raw->second.size();
        } else if (image.bufferView >= 0 && static_cast<size_t>(image.bufferView) < model_.bufferViews.size()) {
            const tinygltf::BufferView& v = model_.bufferViews[static_cast<size_t>(image.bufferView)];
            if (v.buffer >= 0 && static_cast<size_t>(v.buffer) < model_.buffers.size() &&
                v.byteOffset <= model_.buffers[static_cast<size_t>(v.buffer)].data.size() &&
                v.byteLength <= model_.buffers[static_cast<size_t>(v.buffer)].data.size() - v.byteOffset) {
                bytes = model_.buffers[static_cast<size_t>(v.buffer)].data.data() + v.byteOffset;
                size = v.byteLength;
            }
        }
        DecodedImage decoded;
        std::string reason = "cannot be read";
        if (!bytes || !decodeImage(bytes, size, true, decoded, reason)) {
            mesh_.warnings.push_back(what + ": " + reason + "; its material keeps its colour");
            return -1;
        }
        imageTotal_ += decoded.pixels.size();
        checkMemory(imageTotal_, keyPath_, "the textures of " + name_);
        index = static_cast<int>(mesh_.images.size());
        mesh_.images.push_back(std::move(decoded));
        return index;
    }

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

    // COLOR_0 of a primitive whose `vertices` positions were just added: red, green, blue (an alpha
    // is left out) as floats or normalised unsigned bytes or shorts.
    void readColours(int accessor, int vertices) {
        if (accessor < 0 || accessor >= static_cast<int>(model_.accessors.size()))
            fail("a primitive names an accessor that does not exist");
        const int type = model_.accessors[static_cast<size_t>(accessor)].type;
        if (type != TINYGLTF_TYPE_VEC3 && type != TINYGLTF_TYPE_VEC4)
            fail("accessor " + std::to_string(accessor) + " has the wrong element type");
        size_t count = 0, stride = 0;
        int componentType = 0;
        const unsigned char* p = elements(accessor, type,
                                          {TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE,
                                           TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT},
                                          count, stride, componentType);
        if (count != static_cast<size_t>(vertices)) {
            mesh_.warnings.push_back("accessor " + std::to_string(accessor) + ": COLOR_0 has " + std::to_string(count) +
                                     " colours for " + std::to_string(vertices) + " vertices, not read");
            return;
        }
        mesh_.colours.resize(mesh_.positions.size() - count, Vec3{1.0f, 1.0f, 1.0f});
        for (size_t i = 0; i < count; ++i) {
            const unsigned char* e = p + i * stride;
            float c[3];
            for (int k = 0; k < 3; ++k) {
                if (componentType == TINYGLTF_COMPONENT_TYPE_FLOAT) {
                    std::memcpy(&c[k], e + 4 * k, 4);
                } else if (componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE) {
                    c[k] = e[k] / 255.0f;
                } else {
                    uint16_t v;
                    std::memcpy(&v, e + 2 * k, 2);
                    c[k] = v / 65535.0f;
                }
            }
            const Vec3 v{c[0], c[1], c[2]};
            if (!finite(v)) fail("colour " + std::to_string(i) + " of accessor " + std::to_string(accessor) + " is not finite");
            mesh_.colours.push_back(v);
        }
    }

    void addMesh(int meshIndex, const Mat4& world) {
        if (meshIndex < 0 || meshIndex >= static_cast<int>(model_.meshes.size())) fail("a node names a mesh that does not exist");
        const Matrix34 place = toMatrix34(world);
        const Matrix34 normals = normalMatrix(place);
        const tinygltf::Mesh& gltfMesh = model_.meshes[static_cast<size_t>(meshIndex)];
        if (gltfMesh.primitives.empty()) ++noPrimitives_;
        for (const tinygltf::Primitive& prim : gltfMesh.primitives) {
            const int mode = prim.mode == -1 ? TINYGLTF_MODE_TRIANGLES : prim.mode;
            if (mode != TINYGLTF_MODE_TRIANGLES && mode != TINYGLTF_MODE_TRIANGLE_STRIP && mode != TINYGLTF_MODE_TRIANGLE_FAN) {
                if (mode < TINYGLTF_MODE_POINTS || mode > TINYGLTF_MODE_TRIANGLE_FAN) fail("a primitive has the unknown mode " + std::to_string(mode));
                ++unread_;  // points and lines: no surface
                continue;
            }
            const auto position = prim.attributes.find("POSITION");
            if (position == prim.attributes.end()) {
                ++unread_;  // no surface without positions
                continue;
            }
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
            const auto colour = prim.attributes.find("COLOR_0");
            if (colour != prim.attributes.end()) readColours(colour->second, vertices);
            if (!mesh_.colours.empty()) mesh_.colours.resize(mesh_.positions.size(), Vec3{1.0f, 1.0f, 1.0f});
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
            for (const std::array<uint32_t, 3>& corners : triangles(mode, indices)) {
                MeshData::Triangle t;
                for (int k = 0; k < 3; ++k) {
                    const int v = static_cast<int>(corners[static_cast<size_t>(k)]);
                    t.corner[k].position = base + v;
                    t.corner[k].normal = normalBase >= 0 ? normalBase + v : -1;
                    t.corner[k].texcoord = uvBase >= 0 ? uvBase + v : -1;
                }
                t.material = material;
                mesh_.triangles.push_back(t);
            }
        }
    }

    // The triangles of a list, strip or fan, wound as the file has them. Strips join their runs with
    // repeated indices: those zero-area links are left out.
    static std::vector<std::array<uint32_t, 3>> triangles(int mode, const std::vector<uint32_t>& v) {
        std::vector<std::array<uint32_t, 3>> out;
        const size_t n = v.size();
        if (mode == TINYGLTF_MODE_TRIANGLES) {
            for (size_t i = 0; i + 2 < n; i += 3) out.push_back({v[i], v[i + 1], v[i + 2]});
        } else if (mode == TINYGLTF_MODE_TRIANGLE_STRIP) {
            for (size_t i = 0; i + 2 < n; ++i) {
                if (v[i] == v[i + 1] || v[i + 1] == v[i + 2] || v[i] == v[i + 2]) continue;
                if (i % 2 == 0) out.push_back({v[i], v[i + 1], v[i + 2]});
                else out.push_back({v[i], v[i + 2], v[i + 1]});
            }
        } else {
            for (size_t i = 1; i + 1 < n; ++i) out.push_back({v[i], v[i + 1], v[0]});
        }
        return out;
    }

    const tinygltf::Model& model_;
    const std::map<int, std::vector<unsigned char>>& imageBytes_;  // encoded images the loader read from URIs
    MeshData& mesh_;
    std::map<int, int> decoded_;  // glTF image -> mesh_.images index, -1 when unusable
    size_t imageTotal_ = 0;
    size_t unread_ = 0;        // primitives of points or lines
    size_t noPrimitives_ = 0;  // meshes placed without any primitive
    std::string name_;
    std::string keyPath_;
};

// The loader hands over each image it read from a URI; only base colour images are decoded later.
// Images in buffer views are taken from their buffer after the bounds are checked.
bool keepImageBytes(tinygltf::Image* image, const int index, std::string*, std::string*, int, int,
                    const unsigned char* bytes, int size, void* user) {
    if (image->bufferView < 0 && size > 0)
        (*static_cast<std::map<int, std::vector<unsigned char>>*>(user))[index].assign(bytes, bytes + size);
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
        if (files.refused.empty()) files.refused = path + ": " + reason;
        if (error) *error = reason;
        return false;
    }
    files.files.push_back(path);
    return true;
}

constexpr const char* kDracoExtension = "KHR_draco_mesh_compression";

// The asset's version as the file writes it, found without reading the file twice: the first
// "version" string after "asset". Empty when there is none.
std::string assetVersion(std::string_view text) {
    const size_t asset = text.find("\"asset\"");
    if (asset == std::string_view::npos) return "";
    const size_t key = text.find("\"version\"", asset);
    if (key == std::string_view::npos || key - asset > 4096) return "";
    const size_t open = text.find('"', text.find(':', key));
    const size_t close = open == std::string_view::npos ? open : text.find('"', open + 1);
    if (close == std::string_view::npos || close - open > 16) return "";
    return std::string(text.substr(open + 1, close - open - 1));
}

// The loader's first complaint in this program's words.
std::string loaderProblem(std::string error) {
    const size_t newline = error.find('\n');
    if (newline != std::string::npos) error.resize(newline);
    auto startsWith = [&](const char* prefix) { return error.rfind(prefix, 0) == 0; };
    auto after = [&](const char* prefix) { return error.substr(std::strlen(prefix)); };
    if (error.empty()) return "not a readable glTF file";
    if (startsWith("File not found : data:") || startsWith("Failed to decode 'uri'"))
        return "a buffer's data URI cannot be decoded or has the wrong byteLength";
    if (startsWith("File not found : ")) return "the buffer file '" + after("File not found : ") + "' does not exist";
    if (startsWith("File is empty : ")) return after("File is empty : ") + ": is empty";
    if (startsWith("File size mismatch : ")) return "a buffer file is not as long as its byteLength says";
    if (error.find("JSON") != std::string::npos || error.find("json") != std::string::npos) {
        // The parser's "[json.exception.parse_error.101] parse error at line 2, column 7: ..." as
        // "malformed JSON at line 2, column 7: ...".
        const size_t at = error.find("at line ");
        return at != std::string::npos ? "malformed JSON " + error.substr(at) : "malformed JSON: " + error;
    }
    return error;
}

bool gltfWriteFile(std::string* error, const std::string&, const std::vector<unsigned char>&, void*) {
    if (error) *error = "writing is not allowed";
    return false;
}

}  // namespace

MeshData readGltf(const std::string& path, const std::string& keyPath, bool binary, std::vector<std::string>& files) {
    auto fail = [&](const std::string& what) { fault(keyPath, path + ": " + what); };
    std::vector<unsigned char> bytes;
    std::string reason;
    if (!readInputFile(path, kMaxDataFileBytes, bytes, reason)) fail(reason);
    if (bytes.empty()) fail("is empty");
    files.push_back(path);
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!binary && bytes.size() >= 4 && std::memcmp(bytes.data(), "glTF", 4) == 0) binary = true;
    // Version 1 files have objects where version 2 has arrays; the loader would read them as empty.
    const std::string version = assetVersion(text);
    if (!version.empty() && version[0] != '2') fail("glTF " + version + " files are not supported (only glTF 2.0)");

    tinygltf::TinyGLTF loader;
    std::map<int, std::vector<unsigned char>> imageBytes;
    loader.SetImageLoader(keepImageBytes, &imageBytes);
    GltfFiles access{files, {}};
    loader.SetFsCallbacks({gltfFileExists, gltfExpandPath, gltfReadFile, gltfWriteFile, &access});
    tinygltf::Model model;
    std::string error, warning;
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash);
    const auto length = static_cast<unsigned int>(bytes.size());
    const bool ok = binary ? loader.LoadBinaryFromMemory(&model, &error, &warning, bytes.data(), length, folder)
                           : loader.LoadASCIIFromString(&model, &error, &warning, text.data(), length, folder);
    if (!access.refused.empty()) fault(keyPath, access.refused);
    if (text.find(kDracoExtension) != std::string_view::npos &&
        (!ok || std::find(model.extensionsRequired.begin(), model.extensionsRequired.end(), kDracoExtension) !=
                    model.extensionsRequired.end()))
        fail("Draco-compressed meshes are not supported");
    if (!ok) fail(loaderProblem(error));
    // Material and texture extensions change only looks this reader takes no further than the base
    // colour; any other required extension changes the geometry it would read.
    for (const std::string& required : model.extensionsRequired)
        if (required.rfind("KHR_materials_", 0) != 0 && required.rfind("KHR_texture_", 0) != 0)
            fail("the extension " + required + " is required, which is not supported");
    MeshData mesh;
    GltfReader(model, imageBytes, mesh, path, keyPath).read();
    return mesh;
}

}  // namespace lumo
