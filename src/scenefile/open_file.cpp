#include "scenefile/open_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "scenefile/input_file.h"
#include "scenefile/json_fields.h"
#include "scenefile/mesh_files.h"

namespace lumo {

namespace {

// Enough of a file to tell what it is.
constexpr size_t kHeadBytes = 4096;

// The first bytes of a regular file; false for anything else, which the scene reader then names.
bool readHead(const std::string& path, std::string& head) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        head.resize(kHeadBytes);
        const ssize_t n = read(fd, head.data(), head.size());
        ok = n >= 0;
        head.resize(ok ? static_cast<size_t>(n) : 0);
    }
    close(fd);
    return ok;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// Whether the JSON object opening at head[at] has a top-level key "asset", as far as head shows it.
bool hasTopLevelAsset(const std::string& head, size_t at) {
    int depth = 0;
    bool expectKey = false;
    for (size_t i = at; i < head.size(); ++i) {
        const char c = head[i];
        if (c == '"') {
            size_t end = i + 1;
            while (end < head.size() && head[end] != '"') end += head[end] == '\\' ? 2 : 1;
            if (end >= head.size()) return false;
            if (depth == 1 && expectKey && head.compare(i + 1, end - i - 1, "asset") == 0) return true;
            expectKey = false;
            i = end;
        } else if (c == '{' || c == '[') {
            ++depth;
            expectKey = c == '{' && depth == 1;
        } else if (c == '}' || c == ']') {
            if (--depth == 0) return false;
        } else if (c == ',' && depth == 1) {
            expectKey = true;
        }
    }
    return false;
}

// The statements an OBJ file is made of (geometry, grouping, materials, free-form surfaces).
bool isObjStatement(const std::string& word) {
    static const char* const kWords[] = {"v",     "vt",   "vn",   "vp",     "f",     "l",     "p",    "o",
                                         "g",     "s",    "mtllib", "usemtl", "cstype", "deg",  "curv", "curv2",
                                         "surf",  "parm", "trim", "hole",   "scrv",  "sp",    "end",  "con",
                                         "mg",    "bmat", "step", "lod",    "usemap", "maplib"};
    return std::find_if(std::begin(kWords), std::end(kWords), [&](const char* w) { return word == w; }) !=
           std::end(kWords);
}


using Json = nlohmann::ordered_json;

Json vec(double x, double y, double z) { return Json::array({x, y, z}); }

// Where the scene of a bare mesh names its mesh.
constexpr const char* kMeshKeyPath = "objects[0].file";

// The scene text of a bare mesh with a ground, light and camera for its bounds (the mesh as placed).
std::string meshSceneText(const std::string& file, const std::string& title, const Box& bounds) {
    Json scene = {{"version", kSceneFormatVersion}, {"title", title}};
    Json objects = Json::array();
    objects.push_back({{"shape", "mesh"}, {"file", file}});
    const Vec3 lo = bounds.min, hi = bounds.max;
    const double cx = 0.5 * (lo.x + hi.x), cy = 0.5 * (lo.y + hi.y), cz = 0.5 * (lo.z + hi.z);
    const double dx = hi.x - lo.x, dy = hi.y - lo.y, dz = hi.z - lo.z;
    // The radius of the sphere round the box: what the camera must keep in view.
    const double r = std::max(0.5 * std::sqrt(dx * dx + dy * dy + dz * dz), 1e-6);
    // A square ground four radii across, a hair below the mesh so that faces lying on its lowest
    // level do not fight with it; small enough that zooming in stays possible (the closest zoom
    // is just outside the scene's box).
    const double side = 4.0 * r, groundZ = lo.z - 1e-3 * r;
    scene["materials"] = Json::array({{{"name", "ground"}, {"diffuse", vec(0.55, 0.55, 0.55)}}});
    objects.push_back({{"shape", "parallelogram"},
                       {"material", "ground"},
                       {"origin", vec(cx - 0.5 * side, cy - 0.5 * side, groundZ)},
                       {"edgeA", vec(side, 0, 0)},
                       {"edgeB", vec(0, side, 0)}});
    scene["light"] = {{"position", vec(cx + 1.5 * r, cy - 2.5 * r, cz + 4.0 * r)}};
    // The default field of view (28.65 degrees across the shorter side) holds the sphere from
    // r / sin(half the angle) away; a little more leaves a margin.
    const double halfView = 0.5 * 28.65 * 3.14159265358979 / 180.0;
    scene["camera"] = {{"lookAt", vec(cx, cy, cz)},
                       {"azimuth", 35},
                       {"elevation", 20},
                       {"distance", 1.1 * r / std::sin(halfView)}};
    scene["objects"] = objects;
    return scene.dump(1);
}

// "<path>: objects[0].file: <mesh>: <what>" of the mesh-only scene as "<mesh>: <what>": the file is
// the mesh itself, the scene around it is the program's.
std::string meshError(const std::string& error, const std::string& name) {
    const std::string prefix = name + ": objects[0].file: ";
    return error.rfind(prefix, 0) == 0 ? error.substr(prefix.size()) : error;
}

SceneFileResult openMesh(const std::string& path, FileKind kind, int threads, LoadProgress* progress) {
    const std::string ext = lowerExtension(path);
    const bool named = kind == FileKind::kObj ? ext == "obj" : kind == FileKind::kGltf ? ext == "gltf" : ext == "glb";
    if (!named) {
        SceneFileResult r;
        const char* what = kind == FileKind::kObj ? "an OBJ mesh" : kind == FileKind::kGltf ? "a glTF mesh" : "a GLB mesh";
        const char* suffix = kind == FileKind::kObj ? ".obj" : kind == FileKind::kGltf ? ".gltf" : ".glb";
        r.error = path + ": " + what + " is read from a file named *" + suffix + "; rename it to open it";
        return r;
    }
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string file = fileNameOf(path);
    // The mesh is read once: alone, for where it lies (placed as the scene reader places it), then
    // handed to the reader of the scene around it.
    SceneFileResult r;
    MeshData mesh;
    try {
        mesh = readMeshFile(folder + file, kMeshKeyPath, threads, ProgressPart{progress, 0.0, 0.72});
    } catch (const FileFault& e) {
        r.error = meshError(messageLine(path + ": " + e.what()), path);
        return r;
    } catch (const std::bad_alloc&) {
        r.error = path + ": out of memory while reading the mesh";
        return r;
    } catch (const std::length_error&) {
        r.error = path + ": out of memory while reading the mesh";
        return r;
    }
    Box box;
    if (!placedBounds(mesh, defaultMeshPlacement(file), box)) {
        r.error = path + ": the mesh has no triangles to show";
        return r;
    }
    // Padded as the tree build pads a scene's bounds, so the frame is the one the mesh's own scene had.
    const float largest = std::max({box.max.x - box.min.x, box.max.y - box.min.y, box.max.z - box.min.z});
    const float pad = std::max(1e-3f * largest, 1e-6f);
    const Box bounds{{box.min.x - pad, box.min.y - pad, box.min.z - pad}, {box.max.x + pad, box.max.y + pad, box.max.z + pad}};
    r = readSceneTextWithMesh(meshSceneText(file, file, bounds), path, folder, threads, progress, folder + file, &mesh);
    if (!r.scene) r.error = meshError(r.error, path);
    return r;
}

}  // namespace

FileKind fileKindOf(const std::string& head) {
    if (head.rfind("glTF", 0) == 0) return FileKind::kGlb;
    size_t at = head.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;  // a UTF-8 byte-order mark
    while (at < head.size() && isBlank(head[at])) ++at;
    if (at < head.size() && head[at] == '{') return hasTopLevelAsset(head, at) ? FileKind::kGltf : FileKind::kScene;
    if (head.find('\0') != std::string::npos) return FileKind::kOther;  // binary, or UTF-16 text
    // OBJ: the first statement decides (a broken later one is the OBJ reader's to report).
    for (size_t line = at; line < head.size();) {
        size_t end = head.find('\n', line);
        if (end == std::string::npos) end = head.size();
        size_t word = line;
        while (word < end && isBlank(head[word])) ++word;
        if (word < end && head[word] != '#') {
            size_t stop = word;
            while (stop < end && !isBlank(head[stop])) ++stop;
            return isObjStatement(head.substr(word, stop - word)) ? FileKind::kObj : FileKind::kOther;
        }
        line = end + 1;
    }
    return FileKind::kOther;
}

SceneFileResult openSceneOrMesh(const std::string& path, int threads, LoadProgress* progress) {
    std::string head;
    if (!readHead(path, head)) return loadSceneFile(path, threads, progress);  // it says why it cannot be read
    switch (const FileKind kind = fileKindOf(head)) {
        case FileKind::kScene:
            return loadSceneFile(path, threads, progress);
        case FileKind::kObj:
        case FileKind::kGltf:
        case FileKind::kGlb:
            return openMesh(path, kind, threads, progress);
        case FileKind::kOther:
            break;
    }
    SceneFileResult r;
    r.error = path + ": not a file Lumo can open (a JSON scene file, or an OBJ, glTF or GLB mesh)";
    return r;
}

}  // namespace lumo
