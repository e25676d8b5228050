// What lumo-render does with its parsed options: set up, render the frames, write the pictures,
// compare, report.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "cli/compare.h"
#include "cli/options.h"
#include "core/render_params.h"
#include "scene/scene.h"
#include "scenefile/scene_file.h"

namespace lumo {

struct RenderReport {
    int sceneNumber = 0;  // the demo scene's number in the Demo menu, 0 for a scene file
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
    // Besides, in JSON:
    int threads = 0;
    int passes = 1;        // per frame
    std::string sampling;  // "full" or "sub"
    std::string shader;    // the --shader name
    uint64_t peakMemoryBytes = 0;
    uint64_t treeBytes = 0;  // the scene's tree: nodes plus object indices
    uint64_t meshBytes = 0;  // the scene's mesh triangles: vertices, attributes, indices, parts
    uint64_t meshTriangles = 0;
    double loadSeconds = 0.0;   // reading a scene file, its meshes and building its tree; 0 for a demo scene
    double buildSeconds = 0.0;  // the tree build alone
};

// The one stdout line: scene=... size=WxH frames=... ms_per_frame=... fps=... samples_per_frame=...
// rays_per_frame=... mrays_per_s=... isa=... tiles=...
std::string formatReport(const RenderReport& report);

// The report as one JSON object: the fields of the line under the same names, then threads,
// sampling, shader, passes, peak_memory_bytes, tree_bytes, mesh_bytes, mesh_triangles, load_s, build_s
// and, with a comparison, "compare".
std::string formatJsonReport(const RenderReport& report, const Comparison* comparison, bool passed);

// The frame parameters of the options: the program's start values, then the scene's photon switches
// and kernel as selecting it from the Demo menu sets them (for a scene file: as its descriptor and
// photon counts say), then what the options say.
RenderParams renderParams(const RenderOptions& options, const SceneDescriptor* fileScene = nullptr,
                          const ScenePhotonCounts* fileCounts = nullptr);

// Runs lumo-render: returns the exit status (0; 1 when the comparison fails; 2 after one error line on
// err). errIsTerminal: err is a terminal, where --progress auto shows its line.
int runRender(const RenderOptions& options, std::ostream& out, std::ostream& err, bool errIsTerminal = false);

}  // namespace lumo
