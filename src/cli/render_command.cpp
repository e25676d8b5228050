#include "cli/render_command.h"

#include <chrono>
#include <cstdio>
#include <ostream>

#include "app/commands.h"
#include "app/frame_steps.h"
#include "app/platform.h"
#include "app/settings.h"
#include "app/startup.h"
#include "cli/cli_platform.h"
#include "cli/png_writer.h"
#include "image/frame.h"

namespace lumo {

namespace {

// Installs a platform for the lifetime of the run and restores the previous one afterwards.
class PlatformScope {
public:
    explicit PlatformScope(Platform& p) : previous_(&platform()) { setPlatform(&p); }
    ~PlatformScope() { setPlatform(previous_ == &recordingPlatform() ? nullptr : previous_); }

private:
    Platform* previous_;
};

}  // namespace

std::string formatReport(const RenderReport& r) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "scene=%d size=%dx%d frames=%d ms_per_frame=%.3f fps=%.2f samples_per_frame=%llu "
                  "rays_per_frame=%llu mrays_per_s=%.3f",
                  r.sceneId, r.width, r.height, r.frames, r.msPerFrame, r.fps,
                  static_cast<unsigned long long>(r.samplesPerFrame), static_cast<unsigned long long>(r.raysPerFrame),
                  r.mraysPerSecond);
    return line;
}

void applyOptions(const RenderOptions& o) {
    // A fresh run of the program, then the options as the menus would set them.
    resetToStaticValues();
    startUp();
    RenderSettings& s = settings();
    s.samplingMode = static_cast<int16_t>(o.samplingMode);
    s.threadCount = static_cast<int16_t>(o.threadCount);
    s.antiAliasing = static_cast<int16_t>(o.antiAliasing);
    s.filterOn = o.filter ? 1 : 0;
    for (int i = 0; i < 5; ++i) s.refineThresholds[i] = static_cast<int16_t>(o.thresholds[i]);
    s.adaptiveTargetFps = 0;
    s.currentShader = o.shader;
    s.causticPhotonCount = o.causticPhotons;
    s.causticSplitCount = o.causticSplit;
    s.giPhotonCount = o.giPhotons;
    s.giSplitCount = o.giSplit;
    s.giOnlyIndirect = o.onlyIndirect;
    selectScene(o.sceneId);
    // The photon switches and the kernel as the scene command set them, unless an option says otherwise.
    if (o.caustics >= 0) s.causticsCalculate = s.causticsDisplay = static_cast<int16_t>(o.caustics);
    if (o.gi >= 0) s.giCalculate = s.giDisplay = static_cast<int16_t>(o.gi);
    if (o.interpolation >= 0) s.interpolationKernel = static_cast<int16_t>(o.interpolation);
    // As the Test/Asm command: the fast path cannot be switched on without SSE.
    if (o.useAsm >= 0) s.useAsm = static_cast<int16_t>(o.useAsm == 1 && processorSupportsSse());
}

int runRender(const RenderOptions& o, std::ostream& out, std::ostream& err) {
    CliPlatform cliPlatform(err);
    PlatformScope scope(cliPlatform);
    std::string error;
    if (!o.outPath.empty() && !checkWritable(o.outPath, error)) {
        err << "lumo-render: --out: " << error << std::endl;
        return 2;
    }
    applyOptions(o);

    FrameBuffer fb;
    fb.resize(o.width, o.height);
    resetRayStats();
    // What the frame traces on this thread (single-threaded photon passes) counts with slot 0.
    RayStats* const callerStats = rayStats;
    rayStats = &workerSlot(0).stats;
    using Clock = std::chrono::steady_clock;
    Clock::duration rendering{};
    for (int i = 0; i < o.frames; ++i) {
        const Clock::time_point start = Clock::now();
        produceFrame(fb, o.timeMs, o.animate);
        rendering += Clock::now() - start;
    }
    rayStats = callerStats;

    if (!o.outPath.empty() && !writePng(fb, o.outPath, error)) {
        err << "lumo-render: --out: " << error << std::endl;
        return 2;
    }

    const RayStats stats = totalRayStats();
    const double seconds = std::chrono::duration<double>(rendering).count();
    RenderReport r;
    r.sceneId = o.sceneId;
    r.width = o.width;
    r.height = o.height;
    r.frames = o.frames;
    r.msPerFrame = seconds * 1000.0 / o.frames;
    r.fps = seconds > 0.0 ? o.frames / seconds : 0.0;
    r.samplesPerFrame = (stats.samples + o.frames / 2) / o.frames;
    r.raysPerFrame = (stats.rays + o.frames / 2) / o.frames;
    r.mraysPerSecond = seconds > 0.0 ? static_cast<double>(stats.rays) / seconds / 1e6 : 0.0;
    out << formatReport(r) << std::endl;
    return 0;
}

}  // namespace lumo
