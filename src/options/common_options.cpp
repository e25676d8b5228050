#include "options/common_options.h"

#include "scene/demo_scenes.h"

namespace lumo {

namespace {

// The shaders' --shader names joined: "a, b or c" (`last` " or ") or "a | b | c".
std::string shaderOptionNames(const char* between, const char* last) {
    std::string names;
    for (const ShaderName& s : kShaderNames) {
        if (!names.empty()) names += &s == std::end(kShaderNames) - 1 ? last : between;
        names += s.option;
    }
    return names;
}

}  // namespace

int sceneIdFromName(const std::string& text) {
    int id = 0;
    if (parseWholeNumber(text, id)) return findDemoScene(id) ? id : 0;
    return demoSceneIdFromName(text);
}

const char* shaderName(ShaderMode shader) { return kShaderNames[shader].option; }

std::string commonOptionsClash(const CommonOptions& o) {
    if (o.sceneGiven && !o.sceneFile.empty()) return "--scene and --scene-file both choose the scene: give one";
    return "";
}

void addCommonOptions(OptionTable& table, CommonOptions& o) {
    const std::string side = std::to_string(kMaxPictureSide);
    const std::string threads = o.threadCount == hardwareThreads() ? "all" : std::to_string(o.threadCount);
    table.push_back({"--scene", "S",
                     "1..9 or mirrorsphere, balls, cube, shadows-1, torus, spheres, area-light, egg, cornell-box",
                     "1..9 or a Demo menu name: mirrorsphere, balls, cube, shadows-1,\n"
                     "torus, spheres, area-light, egg, cornell-box (any case, blanks\n"
                     "or hyphens); default " + std::to_string(o.sceneId),
                     [&o](const std::string& v) {
                         const int id = sceneIdFromName(v);
                         if (id) o.sceneId = id;
                         o.sceneGiven = true;
                         return id != 0;
                     }});
    table.push_back({"--scene-file", "FILE", "the name of a scene file",
                     "a scene from a JSON scene file (docs/scene-format.md) instead\nof a demo scene",
                     [&o](const std::string& v) {
                         o.sceneFile = v;
                         return !v.empty();
                     }});
    table.push_back({"--size", "WxH", "WxH with W and H from 1 to " + side + ", e.g. 640x480",
                     "picture size, 1x1 to " + side + "x" + side + "; default " + std::to_string(o.width) + "x" +
                         std::to_string(o.height),
                     [&o](const std::string& v) {
                         const size_t x = lowerCase(v).find('x');
                         int w = 0, h = 0;
                         if (x == std::string::npos || !parseWholeNumber(v.substr(0, x), w) ||
                             !parseWholeNumber(v.substr(x + 1), h) || w < 1 || w > kMaxPictureSide || h < 1 ||
                             h > kMaxPictureSide)
                             return false;
                         o.width = w;
                         o.height = h;
                         return true;
                     }});
    table.push_back({"--threads", "N",
                     "a whole number from 1 to " + std::to_string(kMaxWorkerThreads) + ", or all",
                     "render threads, 1 to " + std::to_string(kMaxWorkerThreads) +
                         ", or all (the processor's hardware\nthreads); default " + threads,
                     [&o](const std::string& v) {
                         int n = 0;
                         if (lowerCase(v) == "all")
                             n = hardwareThreads();
                         else if (!parseWholeNumber(v, n) || n < 1 || n > kMaxWorkerThreads)
                             return false;
                         o.threadCount = n;
                         return true;
                     }});
    table.push_back({"--shader", "NAME", shaderOptionNames(", ", " or "),
                     shaderOptionNames(" | ", " | ") + "; default " + shaderName(o.shader),
                     [&o](const std::string& v) {
                         for (const ShaderName& s : kShaderNames)
                             if (lowerCase(v) == s.option) {
                                 o.shader = s.mode;
                                 return true;
                             }
                         return false;
                     }});
}

}  // namespace lumo
