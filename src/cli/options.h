// Command-line options of lumo-render.
#pragma once

#include <string>
#include <vector>

#include "core/render_params.h"
#include "core/workers.h"

namespace lumo {

struct RenderOptions {
    int sceneId = 1;
    int width = 320;
    int height = 240;
    ShaderMode shader = kShaderPhong;
    int samplingMode = 2;  // 1 "1:1" (full), 2 "Subsampling" (sub)
    int thresholds[5] = {5, 24, 32, 48, 64};  // the Standard preset
    int antiAliasing = 0;
    bool filter = false;
    int threadCount = hardwareThreads();  // --threads all unless given
    bool animate = false;  // --time given
    double timeMs = 0.0;
    int frames = 1;
    std::string outPath;   // empty: no picture written
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
    Isa isa = kIsaAuto;  // --isa, or --asm (on: auto, off: scalar), the later one counting
};

struct ParseResult {
    enum Status { kRun, kHelp, kError } status = kRun;
    RenderOptions options;
    std::string error;  // one line naming the option and what it accepts
};

// Parses the arguments after the program name. Accepts "--name value" and "--name=value".
ParseResult parseOptions(const std::vector<std::string>& args);

std::string helpText();

// 1..9 from a number or a Demo menu name (case-insensitive, blanks or hyphens); 0 if neither.
int sceneIdFromName(const std::string& text);

}  // namespace lumo
