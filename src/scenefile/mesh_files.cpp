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
#include "scenefile/obj_read.h"

namespace lumo {

namespace {


std::string gib(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f GiB", static_cast<double>(bytes) / (1ull << 30));
    return text;
}

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// ---- OBJ ----

// MTL files through the checked reader, beside the OBJ file unless named by an absolute path. A
// missing one leaves the default material, as the OBJ format intends; one that is no regular file or
// too large is refused (after the OBJ text is read, so a fault in the text is told first).
class MtlReader {
public:
    MtlReader(std::string folder, std::vector<std::string>& files) : folder_(std::move(folder)), files_(files) {}

    bool read(const std::string& name, std::map<std::string, int>& byName,
              std::vector<MeshData::MeshMaterial>& materials) {
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
        std::string warning;
        tinyobj::LoadMtl(&byName, &read_, &in, &warning, nullptr);
        for (size_t i = materials.size(); i < read_.size(); ++i) materials.push_back(converted(read_[i]));
        return true;
    }
    const std::string& refused() const { return refused_; }
    const std::string& notFinite() const { return notFinite_; }
    // Each material's map_Kd image name, "" for none.
    const std::vector<std::string>& images() const { return images_; }

private:
    MeshData::MeshMaterial converted(const tinyobj::material_t& m) {
        MeshData::MeshMaterial mm;
        mm.name = m.name;
        mm.diffuse = {m.diffuse[0], m.diffuse[1], m.diffuse[2]};
        mm.phongExponent = m.shininess > 0.0f ? m.shininess : 0.0f;
        // Mirror-like illumination models take the specular colour's strength as reflectivity.
        if (m.illum == 3 || m.illum == 5 || m.illum == 7)
            mm.reflectivity = std::max({m.specular[0], m.specular[1], m.specular[2]});
        if (m.dissolve < 1.0f) mm.transmission = 1.0f - m.dissolve;
        if (m.ior > 0.0f) mm.iorBase = m.ior;
        if (notFinite_.empty() &&
            (!finite(mm.diffuse) || !std::isfinite(mm.phongExponent) || !std::isfinite(mm.reflectivity) ||
             !std::isfinite(mm.transmission) || !std::isfinite(mm.iorBase)))
            notFinite_ = "material '" + m.name + "' has a value that is not finite";
        images_.push_back(m.diffuse_texname);
        return mm;
    }

    std::string folder_;
    std::vector<std::string>& files_;
    std::vector<tinyobj::material_t> read_;  // every material read, in the order byName counts them
    std::string refused_;    // the first MTL file refused, with why
    std::string notFinite_;  // the first material with a value that is not finite
    std::vector<std::string> images_;
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
                 std::vector<std::string>& files, int threads, const ProgressPart& progress) {
    const size_t slash = path.find_last_of('/');
    MtlReader mtl(slash == std::string::npos ? "" : path.substr(0, slash + 1), files);
    const std::string& name = path;  // messages name the file as it was given
    ObjReadOptions options;
    options.threads = threads;
    options.progress = progress;
    options.libraries = [&mtl](const std::string& file, std::map<std::string, int>& byName,
                               std::vector<MeshData::MeshMaterial>& materials) { return mtl.read(file, byName, materials); };
    MeshData mesh = readObjText(text, name, keyPath, options);
    if (!mtl.refused().empty()) fault(keyPath, name + ": mtllib " + mtl.refused());
    if (!mtl.notFinite().empty()) fault(keyPath, name + ": " + mtl.notFinite());
    for (size_t i = 0; i < mesh.materials.size(); ++i)
        if (!mtl.images()[i].empty()) mesh.materials[i].image = readObjImage(path, mtl.images()[i], mesh, files);
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

MeshData readMeshFile(const std::string& path, const std::string& keyPath, int threads, const ProgressPart& progress) {
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
        mesh = readObj(path, text, keyPath, files, threads, progress);
    } else {
        // The loader reads the file itself, through the checked reader.
        mesh = readGltf(path, keyPath, ext == "glb", files);
    }
    mesh.files = std::move(files);
    return mesh;
}

}  // namespace lumo
