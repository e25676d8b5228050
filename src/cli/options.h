// Command-line options of lumo-render.
#pragma once

#include <string>
#include <vector>

#include "cli/progress.h"
#include "core/isa.h"
#include "options/common_options.h"

namespace lumo {

// The largest clock a frame can be rendered at, in milliseconds.
inline constexpr double kMaxClockMs = 4294967295.0;

struct RenderOptions : CommonOptions {
    int samplingMode = 2;  // 1 "1:1" (full), 2 "Subsampling" (sub)
    int thresholds[5] = {5, 24, 32, 48, 64};  // the Standard preset
    int antiAliasing = 0;
    bool filter = false;
    bool animate = false;  // --time or --step given, or a sequence written: the scene moves
    double timeMs = 0.0;   // clock of the first frame
    double stepMs = 0.0;   // clock advance per frame: --step, else 40 for a sequence and 0 otherwise
    int frames = 1;
    int passes = 1;        // each frame the mean of this many refinement passes
    std::string saveScenePath; // --save-scene: the scene as posed is written as a scene file
    std::string outPath;       // empty: no picture written; a file name (%% read as %) unless outSequence
    bool outSequence = false;  // outPath holds a frame number: every frame is written
    std::string comparePath;   // reference picture the last frame is compared with
    int tolerance = 0;         // per-channel difference a matching pixel may have
    double minMatch = 1.0;     // fraction of matching pixels the comparison needs
    std::string diffPath;      // difference picture of the comparison
    bool json = false;         // summary as one JSON object
    ProgressMode progress = ProgressMode::kAuto;  // --progress
    // Photon mapping. -1 keeps what the scene command sets for the scene.
    int caustics = -1;       // Caustics Calculate and Display together
    int gi = -1;             // Global Illumination Calculate and Display together
    int interpolation = -1;  // "Interpolation" kernel 0..6
    int causticPhotons = 10000;
    int causticSplit = 30;
    int giPhotons = 500000;
    int giSplit = 2500;
    int onlyIndirect = 1;
    int useAsm = -1;     // --asm: -1 not given, else 0 / 1 (sets isa)
    Isa isa = kIsaAuto;  // --isa, or --asm (on: auto, off: scalar); the two together are refused
};

struct ParseResult {
    enum Status { kRun, kHelp, kVersion, kError } status = kRun;
    RenderOptions options;
    std::string error;  // one line naming the option and what it accepts
};

// Parses the arguments after the program name. Accepts "--name value" and "--name=value"; "--" ends
// the options.
ParseResult parseOptions(const std::vector<std::string>& args);

std::string helpText();
std::string versionText();  // "lumo-render 0.38"

// The file of frame `frame` of a sequence: outPath with the number in place of its %d, %Nd or %0Nd,
// and % for %%.
std::string frameFileName(const std::string& pattern, int frame);

}  // namespace lumo
