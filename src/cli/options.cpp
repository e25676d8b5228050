#include "cli/options.h"

#include <cctype>
#include <charconv>
#include <cstring>

#include "core/workers.h"
#include "scene/demo_scenes.h"

namespace lumo {

namespace {

struct NamedShader {
    const char* name;
    ShaderMode shader;
};
constexpr NamedShader kShaders[] = {{"depth", kShaderDepth}, {"normals", kShaderNormals}, {"reflection", kShaderReflection},
                                    {"uv", kShaderUV},       {"simple", kShaderSimple},   {"phong", kShaderPhong}};

struct Preset {
    const char* name;
    int thresholds[5];
};
constexpr Preset kPresets[] = {{"raw", {9999, 300, 300, 300, 300}},
                               {"1/16", {-1, 300, 300, 300, 300}},
                               {"1/4", {-1, -1, 300, 300, 300}},
                               {"1/1", {-1, -1, -1, 48, 64}},
                               {"standard", {5, 24, 32, 48, 64}}};

bool parseInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool parseNonNegativeNumber(const std::string& text, double& value) {
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.')) return false;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    return ec == std::errc() && ptr == end && value >= 0.0 && value <= 4294967295.0;
}

std::string lowerCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool endsWithPng(const std::string& path) {
    if (path.size() <= 4) return false;
    const std::string base = path.substr(path.find_last_of('/') + 1);
    return base.size() > 4 && lowerCase(base.substr(base.size() - 4)) == ".png";
}

}  // namespace

int sceneIdFromName(const std::string& text) {
    int id = 0;
    if (parseInt(text, id)) return findDemoScene(id) ? id : 0;
    return demoSceneIdFromName(text);
}

std::string helpText() {
    return "Usage: lumo-render [options]\n"
           "Renders frames of a demo scene without a window and reports the speed.\n"
           "\n"
           "  --scene S         1..9 or a Demo menu name: mirrorsphere, balls, cube, shadows-1, torus,\n"
           "                    spheres, area-light, egg, cornell-box (any case, blanks or hyphens);\n"
           "                    default 1\n"
           "  --size WxH        picture size, 1x1 to 8192x8192; default 320x240\n"
           "  --shader NAME     depth | normals | reflection | uv | simple | phong; default phong\n"
           "  --sampling MODE   full (every pixel, \"1:1\") | sub (\"Subsampling\"); default sub\n"
           "  --preset NAME     raw | 1/16 | 1/4 | 1/1 | standard (Subsampling thresholds); default standard\n"
           "  --aa LEVEL        none | good (max. 2x2) | best (max. 4x4), Subsampling only; default none\n"
           "  --filter          smooth the picture with the 3x3 filter\n"
           "  --threads N       render threads, 1 to 64, or all (the processor's hardware threads);\n"
           "                    default all\n"
           "  --time MS         run the scene's animation step at clock MS (milliseconds) before each\n"
           "                    frame; without it the scene stays as built\n"
           "  --frames N        number of frames to render, 1 or more; default 1\n"
           "  --out FILE.png    write the last frame as an 8-bit RGB PNG\n"
           "  --caustics on|off         calculate and display caustics (cube and egg only);\n"
           "                            default: on for egg, off elsewhere\n"
           "  --gi on|off               calculate and display global illumination (cornell-box\n"
           "                            only); default: on for cornell-box, off elsewhere\n"
           "  --caustic-photons N       2500 | 10000 | 40000; default 10000\n"
           "  --caustic-split N         20 | 30 | 40 photons per quadtree cell; default 30\n"
           "  --gi-photons N            125000 | 500000 | 2000000; default 500000\n"
           "  --gi-split N              1000 | 2500 | 5000 photons per quadtree cell; default 2500\n"
           "  --interpolation K         0..6, the Interpolation menu in order; default: the scene's\n"
           "                            (6 for cube and cornell-box, 0 for shadows-1 and area-light,\n"
           "                            1 elsewhere)\n"
           "  --only-indirect on|off    GI photons skip their first hit; default on\n"
           "  --isa LEVEL               camera-ray packets: auto (the widest the processor has),\n"
           "                            avx512 (16 lanes), avx2 (8), sse (4) or scalar (one ray at a\n"
           "                            time); a level the processor lacks falls back to the widest\n"
           "                            it has; the picture is the same on every level; default auto\n"
           "  --asm on|off              the Test/Asm switch: on = --isa auto, off = --isa scalar\n"
           "  --help            show this text\n"
           "\n"
           "After the frames one line goes to stdout:\n"
           "  scene=<n> size=<W>x<H> frames=<N> ms_per_frame=<f> fps=<f> samples_per_frame=<n>\n"
           "  rays_per_frame=<n> mrays_per_s=<f> isa=<level used> tiles=<per thread and frame: a/b/...>\n"
           "Errors print one line to stderr and exit with status 2.\n";
}

ParseResult parseOptions(const std::vector<std::string>& args) {
    ParseResult result;
    RenderOptions& o = result.options;
    auto fail = [&](const std::string& message) {
        result.status = ParseResult::kError;
        result.error = message;
        return result;
    };

    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i], value;
        bool inlineValue = false;
        if (name.rfind("--", 0) == 0) {
            const size_t eq = name.find('=');
            if (eq != std::string::npos) {
                value = name.substr(eq + 1);
                name = name.substr(0, eq);
                inlineValue = true;
            }
        }
        const bool isFlag = name == "--help" || name == "--filter";
        if (isFlag) {
            if (inlineValue) return fail(name + " takes no value");
            if (name == "--help") {
                result.status = ParseResult::kHelp;
                return result;
            }
            o.filter = true;
            continue;
        }

        // What each option accepts, for its error line.
        static const struct {
            const char* name;
            const char* accepts;
        } kAccepts[] = {
            {"--scene", "1..9 or mirrorsphere, balls, cube, shadows-1, torus, spheres, area-light, egg, cornell-box"},
            {"--size", "WxH with W and H from 1 to 8192, e.g. 640x480"},
            {"--shader", "depth, normals, reflection, uv, simple or phong"},
            {"--sampling", "full or sub"},
            {"--preset", "raw, 1/16, 1/4, 1/1 or standard"},
            {"--aa", "none, good or best"},
            {"--threads", "a whole number from 1 to 64, or all"},
            {"--time", "a clock in milliseconds, a number >= 0"},
            {"--frames", "a whole number from 1 to 1000000"},
            {"--out", "a file name ending in .png"},
            {"--caustics", "on or off"},
            {"--gi", "on or off"},
            {"--caustic-photons", "2500, 10000 or 40000"},
            {"--caustic-split", "20, 30 or 40"},
            {"--gi-photons", "125000, 500000 or 2000000"},
            {"--gi-split", "1000, 2500 or 5000"},
            {"--interpolation", "a kernel number from 0 to 6"},
            {"--only-indirect", "on or off"},
            {"--asm", "on or off"},
            {"--isa", "auto, avx512, avx2, sse or scalar"},
        };
        const char* accepts = nullptr;
        for (const auto& a : kAccepts)
            if (name == a.name) accepts = a.accepts;
        if (!accepts) return fail("unknown option '" + args[i] + "' (see --help)");
        if (!inlineValue) {
            if (i + 1 >= args.size()) return fail(name + " needs a value: " + accepts);
            value = args[++i];
        }
        const std::string bad = name + " expects " + accepts + ", got '" + value + "'";

        if (name == "--scene") {
            o.sceneId = sceneIdFromName(value);
            if (o.sceneId == 0) return fail(bad);
        } else if (name == "--size") {
            const size_t x = lowerCase(value).find('x');
            int w = 0, h = 0;
            if (x == std::string::npos || !parseInt(value.substr(0, x), w) || !parseInt(value.substr(x + 1), h) ||
                w < 1 || w > 8192 || h < 1 || h > 8192)
                return fail(bad);
            o.width = w;
            o.height = h;
        } else if (name == "--shader") {
            bool found = false;
            for (const auto& s : kShaders)
                if (lowerCase(value) == s.name) o.shader = s.shader, found = true;
            if (!found) return fail(bad);
        } else if (name == "--sampling") {
            const std::string v = lowerCase(value);
            if (v == "full")
                o.samplingMode = 1;
            else if (v == "sub")
                o.samplingMode = 2;
            else
                return fail(bad);
        } else if (name == "--preset") {
            bool found = false;
            for (const auto& p : kPresets)
                if (lowerCase(value) == p.name) {
                    std::memcpy(o.thresholds, p.thresholds, sizeof o.thresholds);
                    found = true;
                }
            if (!found) return fail(bad);
        } else if (name == "--aa") {
            const std::string v = lowerCase(value);
            if (v == "none")
                o.antiAliasing = 0;
            else if (v == "good")
                o.antiAliasing = 1;
            else if (v == "best")
                o.antiAliasing = 2;
            else
                return fail(bad);
        } else if (name == "--threads") {
            int n = 0;
            if (lowerCase(value) == "all")
                n = hardwareThreads();
            else if (!parseInt(value, n) || n < 1 || n > kMaxWorkerThreads)
                return fail(bad);
            o.threadCount = n;
        } else if (name == "--time") {
            if (!parseNonNegativeNumber(value, o.timeMs)) return fail(bad);
            o.animate = true;
        } else if (name == "--frames") {
            if (!parseInt(value, o.frames) || o.frames < 1 || o.frames > 1000000) return fail(bad);
        } else if (name == "--out") {
            if (!endsWithPng(value)) return fail(bad);
            o.outPath = value;
        } else if (name == "--caustics" || name == "--gi" || name == "--only-indirect" || name == "--asm") {
            const std::string v = lowerCase(value);
            if (v != "on" && v != "off") return fail(bad);
            int& target = name == "--caustics" ? o.caustics
                          : name == "--gi"     ? o.gi
                          : name == "--asm"    ? o.useAsm
                                               : o.onlyIndirect;
            target = v == "on" ? 1 : 0;
            if (name == "--asm") o.isa = v == "on" ? kIsaAuto : kIsaScalar;
        } else if (name == "--isa") {
            if (!parseIsaName(lowerCase(value), o.isa)) return fail(bad);
        } else if (name == "--interpolation") {
            if (!parseInt(value, o.interpolation) || o.interpolation < 0 || o.interpolation > 6) return fail(bad);
        } else {
            // The photon counts and split counts: one of the menu's three values each.
            static const struct {
                const char* name;
                int RenderOptions::*field;
                int values[3];
            } kChoices[] = {{"--caustic-photons", &RenderOptions::causticPhotons, {2500, 10000, 40000}},
                            {"--caustic-split", &RenderOptions::causticSplit, {20, 30, 40}},
                            {"--gi-photons", &RenderOptions::giPhotons, {125000, 500000, 2000000}},
                            {"--gi-split", &RenderOptions::giSplit, {1000, 2500, 5000}}};
            for (const auto& c : kChoices) {
                if (name != c.name) continue;
                int n = 0;
                if (!parseInt(value, n) || (n != c.values[0] && n != c.values[1] && n != c.values[2])) return fail(bad);
                o.*c.field = n;
            }
        }
    }
    // The menus offer caustics only in the Cube and Egg scenes and GI only in the Cornell Box.
    if (o.caustics == 1 && !findDemoScene(o.sceneId)->offersCaustics)
        return fail("--caustics on needs the cube or egg scene (--scene cube or --scene egg)");
    if (o.gi == 1 && !findDemoScene(o.sceneId)->offersGi)
        return fail("--gi on needs the cornell-box scene (--scene cornell-box)");
    return result;
}

}  // namespace lumo
