#include "cli/render_command.h"

#include <chrono>
#include <cstdio>
#include <ostream>

#include "png/png_writer.h"
#include "image/frame.h"
#include "scene/demo_scenes.h"

namespace lumo {

std::string formatReport(const RenderReport& r) {
    char line[512];
    std::snprintf(line, sizeof line,
                  "scene=%d size=%dx%d frames=%d ms_per_frame=%.3f fps=%.2f samples_per_frame=%llu "
                  "rays_per_frame=%llu mrays_per_s=%.3f isa=%s tiles=%s",
                  r.sceneId, r.width, r.height, r.frames, r.msPerFrame, r.fps,
                  static_cast<unsigned long long>(r.samplesPerFrame), static_cast<unsigned long long>(r.raysPerFrame),
                  r.mraysPerSecond, isaName(r.isa), r.tilesPerThread.c_str());
    return line;
}

RenderParams renderParams(const RenderOptions& o) {
    RenderParams p;
    p.sampling = o.samplingMode == 1 ? kSamplingOneToOne : kSamplingSubsampled;
    p.threadCount = o.threadCount;
    p.antiAliasing = o.antiAliasing;
    p.filter = o.filter;
    for (int i = 0; i < 5; ++i) p.refineThresholds[i] = o.thresholds[i];
    p.shader = o.shader;
    PhotonParams& ph = p.photons;
    ph.causticPhotonCount = o.causticPhotons;
    ph.causticSplitCount = o.causticSplit;
    ph.giPhotonCount = o.giPhotons;
    ph.giSplitCount = o.giSplit;
    ph.giOnlyIndirect = o.onlyIndirect != 0;
    if (const SceneDescriptor* d = findDemoScene(o.sceneId)) {
        ph.interpolationKernel = d->interpolationKernel;
        ph.causticsCalculate = ph.causticsDisplay = d->causticsOnSelect;
        ph.giCalculate = ph.giDisplay = d->giOnSelect;
    }
    if (o.caustics >= 0) ph.causticsCalculate = ph.causticsDisplay = o.caustics != 0;
    if (o.gi >= 0) ph.giCalculate = ph.giDisplay = o.gi != 0;
    if (o.interpolation >= 0) ph.interpolationKernel = o.interpolation;
    p.isa = o.isa;
    return p;
}

int runRender(const RenderOptions& o, std::ostream& out, std::ostream& err) {
    std::string error;
    if (!o.outPath.empty() && !checkWritable(o.outPath, error)) {
        err << "lumo-render: --out: " << error << std::endl;
        return 2;
    }
    std::unique_ptr<Scene> scene = buildScene(o.sceneId);
    if (!scene) {
        err << "lumo-render: --scene: no such scene" << std::endl;
        return 2;
    }
    const RenderParams params = renderParams(o);
    View view;
    view.camera = scene->camera;
    Renderer renderer;
    renderer.wait.onTimeout = [&err](int remaining) {
        err << "lumo-render: Debug: Time out, ThrCnt=" << remaining << std::endl;
    };

    FrameBuffer fb;
    fb.resize(o.width, o.height);
    using Clock = std::chrono::steady_clock;
    Clock::duration rendering{};
    for (int i = 0; i < o.frames; ++i) {
        const Clock::time_point start = Clock::now();
        produceFrame(renderer, *scene, view, params, fb, o.timeMs, o.animate);
        rendering += Clock::now() - start;
    }

    if (!o.outPath.empty() && !writePng(fb, o.outPath, error)) {
        err << "lumo-render: --out: " << error << std::endl;
        return 2;
    }

    const RayStats stats = totalRayStats(renderer);
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
    r.isa = resolveIsa(params.isa, processorIsa());
    for (int k = 0; k < params.threadCount; ++k) {
        const uint64_t tiles = renderer.renderWorkers[static_cast<size_t>(k)].stats.tiles;
        if (k) r.tilesPerThread += '/';
        r.tilesPerThread += std::to_string((tiles + o.frames / 2) / o.frames);
    }
    out << formatReport(r) << std::endl;
    return 0;
}

}  // namespace lumo
