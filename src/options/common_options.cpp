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

// The demo scenes' --scene names in menu order, joined by `between`.
std::string sceneOptionNames(const char* between) {
    std::string names;
    for (const int id : kDemoMenuOrder) {
        if (!names.empty()) names += between;
        names += findDemoScene(id)->cliName;
    }
    return names;
}

// Text broken into lines of at most 64 characters at blanks, as the help's second column has them.
std::string wrapped(const std::string& text) {
    std::string out, line;
    size_t at = 0;
    while (at < text.size()) {
        const size_t blank = text.find(' ', at);
        const std::string word = text.substr(at, blank == std::string::npos ? std::string::npos : blank - at);
        if (!line.empty() && line.size() + 1 + word.size() > 64) {
            out += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        at = blank == std::string::npos ? text.size() : blank + 1;
    }
    return out + line;
}

}  // namespace

int sceneIdFromName(const std::string& text) {
    int number = 0;
    if (parseWholeNumber(text, number)) return demoSceneAt(number);
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
    table.push_back({"--scene", "S", "1..9 or " + sceneOptionNames(", "),
                     wrapped("1..9 in the Demo menu's order, or its name: " + sceneOptionNames(", ") +
                             " (any case, blanks or hyphens); default " + findDemoScene(o.sceneId)->cliName),
                     [&o](const std::string& v) {
                         const int id = sceneIdFromName(v);
                         if (id) o.sceneId = id;
                         o.sceneGiven = true;
                         return id != 0;
                     }});
    table.push_back({"--scene-file", "FILE", "the name of a scene or mesh file",
                     "a JSON scene file (docs/scene-format.md), or an OBJ, glTF or\nGLB mesh shown on a ground, instead of a demo scene",
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
