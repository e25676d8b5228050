// What lumo-render does with its parsed options: set up, render the frames, report, write the PNG.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "cli/options.h"
#include "core/render_params.h"

namespace lumo {

struct RenderReport {
    int sceneId = 0;
    int width = 0;
    int height = 0;
    int frames = 0;
    double msPerFrame = 0.0;
    double fps = 0.0;
    uint64_t samplesPerFrame = 0;
    uint64_t raysPerFrame = 0;
    double mraysPerSecond = 0.0;
    Isa isa = kIsaScalar;        // the level the camera rays ran with
    std::string tilesPerThread;  // tiles each render thread took per frame, "a/b/..."
};

// The one stdout line: scene=... size=WxH frames=... ms_per_frame=... fps=... samples_per_frame=...
// rays_per_frame=... mrays_per_s=... isa=... tiles=...
std::string formatReport(const RenderReport& report);

// The frame parameters of the options: the program's start values, then the scene's photon switches
// and kernel as selecting it from the Demo menu sets them, then what the options say.
RenderParams renderParams(const RenderOptions& options);

// Runs lumo-render: returns the exit status (0, or 2 after one error line on err).
int runRender(const RenderOptions& options, std::ostream& out, std::ostream& err);

}  // namespace lumo
