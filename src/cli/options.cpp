#include "cli/options.h"

#include <cstdio>
#include <cstring>

#include "core/pass_sequence.h"
#include "options/version.h"
#include "png/output_file.h"
#include "scene/demo_scenes.h"

namespace lumo {

namespace {

struct Preset {
    const char* name;
    int thresholds[5];
};
constexpr Preset kPresets[] = {{"raw", {9999, 300, 300, 300, 300}},
                               {"1/16", {-1, 300, 300, 300, 300}},
                               {"1/4", {-1, -1, 300, 300, 300}},
                               {"1/1", {-1, -1, -1, 48, 64}},
                               {"standard", {5, 24, 32, 48, 64}}};

constexpr int kMaxFrames = 1000000;
constexpr double kSequenceStepMs = 40.0;

bool endsWithPng(const std::string& path) {
    const std::string base = path.substr(path.find_last_of('/') + 1);
    return base.size() > 4 && lowerCase(base.substr(base.size() - 4)) == ".png";
}

// A picture's name: a .png file, or - (or /dev/stdout, /dev/fd/N) for an open descriptor.
bool pictureName(const std::string& path) { return endsWithPng(path) || standardStreamOf(path) >= 0; }

// Expands the frame numbers of an --out name (%d, %Nd or %0Nd with N 1..9; %% for %) with `frame`.
// Returns how many there are, or -1 when a % is none of these or a frame number is in a folder's name.
int expandFrameNumbers(const std::string& name, int frame, std::string* out) {
    int numbers = 0;
    const size_t slash = name.find_last_of('/');
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '%') {
            if (out) *out += name[i];
            continue;
        }
        if (i + 1 < name.size() && name[i + 1] == '%') {
            if (out) *out += '%';
            ++i;
            continue;
        }
        size_t j = i + 1;
        const bool zeros = j < name.size() && name[j] == '0';
        if (zeros) ++j;
        int width = 0;
        if (j < name.size() && name[j] >= '1' && name[j] <= '9') width = name[j++] - '0';
        if (j >= name.size() || name[j] != 'd' || (zeros && width == 0)) return -1;
        if (slash != std::string::npos && i < slash) return -1;
        if (out) {
            char number[16];
            std::snprintf(number, sizeof number, zeros ? "%0*d" : "%*d", width, frame);
            *out += number;
        }
        ++numbers;
        i = j;
    }
    return numbers;
}

bool onOff(const std::string& v, int& target) {
    const std::string s = lowerCase(v);
    if (s != "on" && s != "off") return false;
    target = s == "on" ? 1 : 0;
    return true;
}

// One of the menu's three values.
bool oneOf(const std::string& v, const int (&values)[3], int& target) {
    int n = 0;
    if (!parseWholeNumber(v, n) || (n != values[0] && n != values[1] && n != values[2])) return false;
    target = n;
    return true;
}

struct Given {
    bool time = false, step = false, tolerance = false, minMatch = false;
    std::string simd;       // the first SIMD option given: "--isa" or "--asm"
    std::string simdClash;  // the line refusing a second, contradicting one
};

// The SIMD level is chosen once: --isa and --asm together, or one of them repeated with another
// value, contradict each other.
void noteSimdChoice(Given& given, const std::string& option, Isa before, Isa now) {
    if (given.simd.empty()) {
        given.simd = option;
    } else if (given.simd != option) {
        given.simdClash = "--isa and --asm both choose the SIMD level: give one";
    } else if (before != now && given.simdClash.empty()) {
        given.simdClash = option + " is given twice with different values";
    }
}

// lumo-render's options over o: the shared ones first, then its own. `given` records options whose
// meaning depends on others.
OptionTable optionTable(RenderOptions& o, Given& given) {
    OptionTable t;
    addCommonOptions(t, o);
    t.push_back({"--sampling", "MODE", "full or sub",
                 "full (every pixel, \"1:1\") | sub (\"Subsampling\"); default sub",
                 [&o](const std::string& v) {
                     const std::string s = lowerCase(v);
                     if (s != "full" && s != "sub") return false;
                     o.samplingMode = s == "full" ? 1 : 2;
                     return true;
                 }});
    t.push_back({"--preset", "NAME", "raw, 1/16, 1/4, 1/1 or standard",
                 "raw | 1/16 | 1/4 | 1/1 | standard (Subsampling thresholds);\ndefault standard",
                 [&o](const std::string& v) {
                     for (const Preset& p : kPresets)
                         if (lowerCase(v) == p.name) {
                             std::memcpy(o.thresholds, p.thresholds, sizeof o.thresholds);
                             return true;
                         }
                     return false;
                 }});
    t.push_back({"--aa", "LEVEL", "none, good or best",
                 "none | good (max. 2x2) | best (max. 4x4), Subsampling only;\ndefault none",
                 [&o](const std::string& v) {
                     const std::string s = lowerCase(v);
                     const int level = s == "none" ? 0 : s == "good" ? 1 : s == "best" ? 2 : -1;
                     if (level >= 0) o.antiAliasing = level;
                     return level >= 0;
                 }});
    t.push_back({"--filter", "", "", "smooth the picture with the 3x3 filter", [&o](const std::string&) {
                     o.filter = true;
                     return true;
                 }});
    t.push_back({"--time", "MS", "a clock in milliseconds from 0 to 4294967295",
                 "run the scene's animation at clock MS (milliseconds) before the\n"
                 "first frame; without it (and without --step or a sequence) the\nscene stays as built",
                 [&o, &given](const std::string& v) {
                     return given.time = parseDecimal(v, 0.0, kMaxClockMs, o.timeMs);
                 }});
    t.push_back({"--step", "MS", "a clock advance in milliseconds from 0 to 4294967295",
                 "advance the clock by MS per frame; default 40 when --out writes a\nsequence, else 0",
                 [&o, &given](const std::string& v) {
                     return given.step = parseDecimal(v, 0.0, kMaxClockMs, o.stepMs);
                 }});
    t.push_back({"--frames", "N", "a whole number from 1 to 1000000",
                 "number of frames to render, 1 to 1000000; default 1",
                 [&o](const std::string& v) {
                     return parseWholeNumber(v, o.frames) && o.frames >= 1 && o.frames <= kMaxFrames;
                 }});
    t.push_back({"--passes", "N", "a whole number from 1 to 65536",
                 "each frame the mean of N passes, every pass with its own sub-pixel\n"
                 "offset and photon maps; 1 to 65536, default 1 (the plain frame)",
                 [&o](const std::string& v) {
                     return parseWholeNumber(v, o.passes) && o.passes >= 1 && o.passes <= kMaxRefinePasses;
                 }});
    t.push_back({"--out", "FILE.png",
                 "a file name ending in .png, with at most one frame number (%d, %Nd or %0Nd, N from 1 to 9) "
                 "in the file name and %% for %, or - for stdout",
                 "write the last frame as an 8-bit RGB PNG (- : to stdout); with a\n"
                 "frame number (frames/egg_%04d.png) write every frame, numbered\n"
                 "from 0; %% is a literal %",
                 [&o](const std::string& v) {
                     std::string single;
                     const int numbers = expandFrameNumbers(v, 0, &single);
                     if (standardStreamOf(v) >= 0) {
                         o.outPath = v;
                         o.outSequence = false;
                         return true;
                     }
                     if (!endsWithPng(v) || numbers < 0 || numbers > 1) return false;
                     // Without a frame number, %% stands for % all the same.
                     o.outSequence = numbers == 1;
                     o.outPath = o.outSequence ? v : single;
                     return true;
                 }});
    t.push_back({"--save-scene", "FILE", "a file name",
                 "write the scene, as posed at the first frame's clock, as a scene\n"
                 "file (JSON) before rendering (- : to stdout)",
                 [&o](const std::string& v) {
                     o.saveScenePath = v;
                     return !v.empty();
                 }});
    t.push_back({"--compare", "REF.png", "a PNG file name", "compare the last frame with a PNG of the same size",
                 [&o](const std::string& v) {
                     o.comparePath = v;
                     return !v.empty();
                 }});
    t.push_back({"--tolerance", "L", "a whole number from 0 to 255",
                 "a pixel matches when no channel differs by more than L; default 0",
                 [&o, &given](const std::string& v) {
                     given.tolerance = parseWholeNumber(v, o.tolerance) && o.tolerance >= 0 && o.tolerance <= 255;
                     return given.tolerance;
                 }});
    t.push_back({"--min-match", "F", "a fraction from 0 to 1, e.g. 0.999",
                 "the comparison passes when at least this fraction of the pixels\nmatch; default 1",
                 [&o, &given](const std::string& v) {
                     return given.minMatch = parseDecimal(v, 0.0, 1.0, o.minMatch);
                 }});
    t.push_back({"--diff", "FILE.png", "a file name ending in .png, or - for stdout",
                 "write the difference picture: black where pixels match, the\n"
                 "channel differences elsewhere, scaled so the largest is 255",
                 [&o](const std::string& v) {
                     o.diffPath = v;
                     return pictureName(v);
                 }});
    t.push_back({"--json", "", "", "print the summary as one JSON object", [&o](const std::string&) {
                     o.json = true;
                     return true;
                 }});
    t.push_back({"--progress", "WHEN", "auto, always or never",
                 "the progress line on stderr: auto (on a terminal, once a run takes\n"
                 "over a second), always (from the start, also into a log) or never;\n"
                 "default auto",
                 [&o](const std::string& v) {
                     if (v == "auto") o.progress = ProgressMode::kAuto;
                     else if (v == "always") o.progress = ProgressMode::kAlways;
                     else if (v == "never") o.progress = ProgressMode::kNever;
                     else return false;
                     return true;
                 }});
    t.push_back({"--caustics", "on|off", "on or off",
                 "calculate and display caustics (cube and egg only); default:\non for egg, off elsewhere",
                 [&o](const std::string& v) { return onOff(v, o.caustics); }});
    t.push_back({"--gi", "on|off", "on or off",
                 "calculate and display global illumination (cornell-box only);\n"
                 "default: on for cornell-box, off elsewhere",
                 [&o](const std::string& v) { return onOff(v, o.gi); }});
    t.push_back({"--caustic-photons", "N", "2500, 10000 or 40000", "2500 | 10000 | 40000; default 10000",
                 [&o](const std::string& v) { return oneOf(v, {2500, 10000, 40000}, o.causticPhotons); }});
    t.push_back({"--caustic-split", "N", "20, 30 or 40", "20 | 30 | 40 photons per quadtree cell; default 30",
                 [&o](const std::string& v) { return oneOf(v, {20, 30, 40}, o.causticSplit); }});
    t.push_back({"--gi-photons", "N", "125000, 500000 or 2000000", "125000 | 500000 | 2000000; default 500000",
                 [&o](const std::string& v) { return oneOf(v, {125000, 500000, 2000000}, o.giPhotons); }});
    t.push_back({"--gi-split", "N", "1000, 2500 or 5000", "1000 | 2500 | 5000 photons per quadtree cell; default 2500",
                 [&o](const std::string& v) { return oneOf(v, {1000, 2500, 5000}, o.giSplit); }});
    t.push_back({"--interpolation", "K", "a kernel number from 0 to 6",
                 "0..6, the Interpolation menu in order; default: the scene's\n"
                 "(6 for cube and cornell-box, 0 for shadows-1 and area-light,\n1 elsewhere)",
                 [&o](const std::string& v) {
                     return parseWholeNumber(v, o.interpolation) && o.interpolation >= 0 && o.interpolation <= 6;
                 }});
    t.push_back({"--only-indirect", "on|off", "on or off", "GI photons skip their first hit; default on",
                 [&o](const std::string& v) { return onOff(v, o.onlyIndirect); }});
    t.push_back({"--isa", "LEVEL", "auto, avx512, avx2, sse or scalar",
                 "camera-ray packets: auto (the widest the processor has),\n"
                 "avx512 (16 lanes), avx2 (8), sse (4) or scalar (one ray at a\n"
                 "time); a level the processor lacks falls back to the widest\n"
                 "it has; the picture is the same on every level; default auto",
                 [&o, &given](const std::string& v) {
                     const Isa before = o.isa;
                     if (!parseIsaName(lowerCase(v), o.isa)) return false;
                     noteSimdChoice(given, "--isa", before, o.isa);
                     return true;
                 }});
    t.push_back({"--asm", "on|off", "on or off", "the Test/Asm switch: on = --isa auto, off = --isa scalar",
                 [&o, &given](const std::string& v) {
                     const Isa before = o.isa;
                     if (!onOff(v, o.useAsm)) return false;
                     o.isa = o.useAsm ? kIsaAuto : kIsaScalar;
                     noteSimdChoice(given, "--asm", before, o.isa);
                     return true;
                 }});
    t.push_back({"--version", "", "", "show the version", [](const std::string&) { return true; }, true});
    t.push_back({"--help", "", "", "show this text", [](const std::string&) { return true; }, true});
    return t;
}

}  // namespace

std::string frameFileName(const std::string& pattern, int frame) {
    std::string name;
    expandFrameNumbers(pattern, frame, &name);
    return name;
}

std::string versionText() { return std::string("lumo-render ") + programVersion() + "\n"; }

std::string helpText() {
    RenderOptions defaults;
    Given given;
    return "Usage: lumo-render [options]\n"
           "Renders frames of a demo scene or a scene file without a window and reports the\n"
           "speed.\n"
           "\n" +
           optionsHelp(optionTable(defaults, given)) +
           "\n"
           "Options also take their value as --name=value; -- ends the options. Options that\n"
           "contradict each other (--scene with --scene-file, --isa with --asm, one of them\n"
           "twice with different values) are refused.\n"
           "Input files must be regular files (links are followed). An existing output file is\n"
           "replaced whole (keeping its mode and owner) or, if you cannot write it, refused; a\n"
           "character device or FIFO is written into; a directory, a link to nothing and a file\n"
           "the run reads are refused. With an output on stdout the summary goes to stderr.\n"
           "\n"
           "After the frames one line goes to stdout:\n"
           "  scene=<n> size=<W>x<H> frames=<N> ms_per_frame=<f> fps=<f> samples_per_frame=<n>\n"
           "  rays_per_frame=<n> mrays_per_s=<f> isa=<level used> tiles=<per thread and frame: a/b/...>\n"
           "With --json the same as one JSON object, with threads, sampling, shader, passes,\n"
           "peak_memory_bytes, tree_bytes, mesh_bytes, mesh_triangles, load_s and build_s\n"
           "(seconds reading a scene file and building its tree) besides. With --compare a\n"
           "second line:\n"
           "  compare: match=<M> of <N> pixels, max_difference=<D>\n"
           "(in JSON a \"compare\" object). While the frames take longer than a second, a\n"
           "progress line shows on stderr when it is a terminal (see --progress); with\n"
           "--passes it counts passes.\n"
           "Exit status: 0 done, 1 the comparison failed, 2 an error (one line on stderr).\n";
}

ParseResult parseOptions(const std::vector<std::string>& args) {
    ParseResult result;
    RenderOptions& o = result.options;
    auto fail = [&](const std::string& message) {
        result.status = ParseResult::kError;
        result.error = message;
        return result;
    };
    Given given;
    const OptionTable table = optionTable(o, given);
    const OptionsRead read = readOptions(args, table);
    if (!read.ok) return fail(read.error);
    if (read.request) {
        result.status = read.request->name == "--version" ? ParseResult::kVersion : ParseResult::kHelp;
        return result;
    }
    if (const std::string clash = commonOptionsClash(o); !clash.empty()) return fail(clash);
    if (!given.simdClash.empty()) return fail(given.simdClash);
    // The menus offer caustics only in the Cube and Egg scenes and GI only in the Cornell Box; a scene
    // file says for itself, once it is read.
    const bool demo = o.sceneFile.empty();
    if (demo && o.caustics == 1 && !findDemoScene(o.sceneId)->offersCaustics)
        return fail("--caustics on needs the cube or egg scene (--scene cube or --scene egg)");
    if (demo && o.gi == 1 && !findDemoScene(o.sceneId)->offersGi)
        return fail("--gi on needs the cornell-box scene (--scene cornell-box)");
    if (o.comparePath.empty()) {
        if (!o.diffPath.empty()) return fail("--diff needs --compare REF.png");
        if (given.tolerance) return fail("--tolerance needs --compare REF.png");
        if (given.minMatch) return fail("--min-match needs --compare REF.png");
    }
    if (!o.diffPath.empty() && o.diffPath == o.outPath) return fail("--diff and --out name the same file");
    if (static_cast<long long>(o.frames) * o.passes > kMaxFrames)
        return fail("--frames x --passes must not pass 1000000");
    if (!given.step) o.stepMs = o.outSequence ? kSequenceStepMs : 0.0;
    o.animate = given.time || given.step || o.outSequence;
    if (o.timeMs + (o.frames - 1) * o.stepMs > kMaxClockMs)
        return fail("the last frame's clock, --time + (--frames - 1) x --step, must not pass 4294967295 ms");
    return result;
}

}  // namespace lumo
