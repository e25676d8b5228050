#include "cli/render_command.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <system_error>

#include "cli/progress.h"
#include "png/output_file.h"
#include "png/png_writer.h"
#include "image/frame.h"
#include "image/pass_mean.h"
#include "scene/demo_scenes.h"
#include "scenefile/open_file.h"

namespace lumo {

namespace {

uint64_t peakMemoryBytes() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<uint64_t>(usage.ru_maxrss) * 1024;  // kilobytes on Linux
}

// Before rendering: the file --out names, or for a sequence its folder and every frame file already
// there.
bool checkOut(const RenderOptions& o, std::string& error) {
    if (!o.outSequence) return checkOutput(o.outPath, error);
    for (int i = 0; i < o.frames; ++i) {
        const std::string name = frameFileName(o.outPath, i);
        if ((i == 0 || access(name.c_str(), F_OK) == 0) && !checkOutput(name, error)) return false;
    }
    return true;
}

// What the photon passes of a frame allocate, for an out-of-memory line.
std::string photonMapsOf(const PhotonParams& p) {
    std::string maps;
    if (p.causticsCalculate) maps = std::to_string(p.causticPhotonCount) + " caustic photons";
    if (p.giCalculate) maps += (maps.empty() ? "" : ", ") + std::to_string(p.giPhotonCount) + " GI photons";
    return maps.empty() ? "the frame's working memory" : "the photon maps (" + maps + ")";
}

void noWork(int, void*) {}

struct NamedFile {
    std::string option;  // "--out"
    std::string path;
    bool frame = false;  // one frame of a sequence
};

// The files a run writes, each frame of a sequence on its own.
std::vector<NamedFile> outputsOf(const RenderOptions& o) {
    std::vector<NamedFile> outputs;
    if (!o.saveScenePath.empty()) outputs.push_back({"--save-scene", o.saveScenePath});
    if (o.outSequence)
        for (int i = 0; i < o.frames; ++i) outputs.push_back({"--out", frameFileName(o.outPath, i), true});
    else if (!o.outPath.empty())
        outputs.push_back({"--out", o.outPath});
    if (!o.diffPath.empty()) outputs.push_back({"--diff", o.diffPath});
    return outputs;
}

// An output that names an input of the run (or another output) would destroy it: the line saying
// so, or empty.
std::string outputClash(const std::vector<NamedFile>& outputs, const std::vector<NamedFile>& inputs) {
    std::vector<size_t> singles;
    for (size_t i = 0; i < outputs.size(); ++i)
        if (!outputs[i].frame) singles.push_back(i);
    for (size_t i = 0; i < outputs.size(); ++i) {
        const NamedFile& out = outputs[i];
        for (const NamedFile& in : inputs)
            if (namesSameFile(out.path, in.path))
                return out.option + ": " + quoteArgument(out.path) + " is " +
                       (in.option.empty() ? "a file the scene reads" : "the " + in.option + " file") +
                       ", which this run must not overwrite";
        // Frames of a sequence differ by their numbers: each is held against the other outputs only.
        const int stream = standardStreamOf(out.path);
        for (const size_t j : singles)
            if (j != i && outputs[j].option != out.option &&
                (namesSameFile(out.path, outputs[j].path) || (stream >= 0 && stream == standardStreamOf(outputs[j].path))))
                return out.option + ": " + quoteArgument(out.path) + " is also written by " + outputs[j].option;
    }
    return "";
}

}  // namespace

std::string formatReport(const RenderReport& r) {
    char line[512];
    std::snprintf(line, sizeof line,
                  "scene=%d size=%dx%d frames=%d ms_per_frame=%.3f fps=%.2f samples_per_frame=%llu "
                  "rays_per_frame=%llu mrays_per_s=%.3f isa=%s tiles=%s",
                  r.sceneNumber, r.width, r.height, r.frames, r.msPerFrame, r.fps,
                  static_cast<unsigned long long>(r.samplesPerFrame), static_cast<unsigned long long>(r.raysPerFrame),
                  r.mraysPerSecond, isaName(r.isa), r.tilesPerThread.c_str());
    return line;
}

std::string formatJsonReport(const RenderReport& r, const Comparison* c, bool passed) {
    nlohmann::ordered_json j;
    j["scene"] = r.sceneNumber;
    j["size"] = std::to_string(r.width) + "x" + std::to_string(r.height);
    j["frames"] = r.frames;
    j["ms_per_frame"] = r.msPerFrame;
    j["fps"] = r.fps;
    j["samples_per_frame"] = r.samplesPerFrame;
    j["rays_per_frame"] = r.raysPerFrame;
    j["mrays_per_s"] = r.mraysPerSecond;
    j["isa"] = isaName(r.isa);
    j["tiles"] = r.tilesPerThread;
    j["threads"] = r.threads;
    j["sampling"] = r.sampling;
    j["shader"] = r.shader;
    j["passes"] = r.passes;
    j["peak_memory_bytes"] = r.peakMemoryBytes;
    j["tree_bytes"] = r.treeBytes;
    j["load_s"] = r.loadSeconds;
    j["build_s"] = r.buildSeconds;
    j["mesh_bytes"] = r.meshBytes;
    j["mesh_triangles"] = r.meshTriangles;
    if (c)
        j["compare"] = {{"match", c->matching}, {"pixels", c->pixels}, {"max_difference", c->maxDifference},
                        {"passed", passed}};
    return j.dump();
}

RenderParams renderParams(const RenderOptions& o, const SceneDescriptor* fileScene,
                          const ScenePhotonCounts* fileCounts) {
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
    if (fileCounts) {
        // The file's counts stand where the options left the defaults.
        const RenderOptions defaults;
        if (fileCounts->causticPhotons && o.causticPhotons == defaults.causticPhotons)
            ph.causticPhotonCount = fileCounts->causticPhotons;
        if (fileCounts->causticSplit && o.causticSplit == defaults.causticSplit)
            ph.causticSplitCount = fileCounts->causticSplit;
        if (fileCounts->giPhotons && o.giPhotons == defaults.giPhotons) ph.giPhotonCount = fileCounts->giPhotons;
        if (fileCounts->giSplit && o.giSplit == defaults.giSplit) ph.giSplitCount = fileCounts->giSplit;
        if (fileCounts->giOnlyIndirect >= 0 && o.onlyIndirect == defaults.onlyIndirect)
            ph.giOnlyIndirect = fileCounts->giOnlyIndirect != 0;
    }
    if (const SceneDescriptor* d = fileScene ? fileScene : findDemoScene(o.sceneId)) {
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

int runRender(const RenderOptions& o, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    auto fail = [&err](const std::string& line) {
        err << "lumo-render: " << line << std::endl;
        return 2;
    };
    std::string error;
    // Every output is checked before the first frame, so a bad name costs no rendering.
    if (!o.outPath.empty() && !checkOut(o, error)) return fail("--out: " + error);
    if (!o.diffPath.empty() && !checkOutput(o.diffPath, error)) return fail("--diff: " + error);
    if (!o.saveScenePath.empty() && !checkOutput(o.saveScenePath, error)) return fail("--save-scene: " + error);
    // With an output on stdout, the summary goes to stderr.
    const std::vector<NamedFile> outputs = outputsOf(o);
    bool stdoutTaken = false;
    for (const NamedFile& f : outputs) stdoutTaken |= standardStreamOf(f.path) == STDOUT_FILENO;
    std::ostream& summary = stdoutTaken ? err : out;
    std::vector<NamedFile> inputs;
    if (!o.comparePath.empty()) inputs.push_back({"--compare", o.comparePath});
    if (!o.sceneFile.empty()) inputs.push_back({"--scene-file", o.sceneFile});
    if (const std::string clash = outputClash(outputs, inputs); !clash.empty()) return fail(clash);

    std::string allocating = "the scene";
    double loadSeconds = 0.0, buildSeconds = 0.0;
    try {
        std::unique_ptr<Scene> scene;
        ScenePhotonCounts counts;
        if (!o.sceneFile.empty()) {
            LoadProgress load;
            SceneFileResult loaded;
            {
                std::optional<Progress> showing;
                {
                    SignalsHeld held;
                    showing.emplace(err, load, o.sceneFile.substr(o.sceneFile.find_last_of('/') + 1),
                                    progressStyle(o.progress, errIsTerminal));
                }
                const auto start = std::chrono::steady_clock::now();
                loaded = openSceneOrMesh(o.sceneFile, o.threadCount, &load);
                loadSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            }
            buildSeconds = loaded.buildSeconds;
            if (!loaded.scene) return fail("--scene-file: " + loaded.error);
            for (const std::string& warning : loaded.warnings) err << "lumo-render: warning: " << warning << std::endl;
            const SceneDescriptor& d = loaded.scene->descriptor;
            if (o.caustics == 1 && !d.offersCaustics) return fail("--caustics on: the scene file offers no caustics");
            if (o.gi == 1 && !d.offersGi) return fail("--gi on: the scene file offers no global illumination");
            scene = std::move(loaded.scene);
            counts = loaded.photons;
            for (size_t i = 1; i < loaded.inputs.size(); ++i) inputs.push_back({"", loaded.inputs[i]});
            if (const std::string clash = outputClash(outputs, inputs); !clash.empty()) return fail(clash);
        } else {
            scene = buildScene(o.sceneId);
            if (!scene) return fail("--scene: no such scene");
        }
        if (!o.saveScenePath.empty()) {
            // The scene as the first frame shows it.
            if (o.animate) animateScene(*scene, o.timeMs);
            const std::string text = sceneFileText(*scene);
            if (!writeOutput(o.saveScenePath, std::vector<unsigned char>(text.begin(), text.end()), error))
                return fail("--save-scene: " + error);
        }
        const RenderParams params =
            o.sceneFile.empty() ? renderParams(o) : renderParams(o, &scene->descriptor, &counts);
        allocating = "the reference picture";
        Reference reference;
        if (!o.comparePath.empty() && !readReference(o.comparePath, o.width, o.height, reference, error))
            return fail("--compare: " + error);
        View view;
        view.camera = scene->camera;
        FrameBuffer fb;
        char frameBuffer[96];
        std::snprintf(frameBuffer, sizeof frameBuffer, "the %dx%d frame buffer (%.0f MiB)", o.width, o.height,
                      (o.width + 1.0) * (o.height + 1.0) * 4.0 / 1048576.0);
        allocating = frameBuffer;
        fb.resize(o.width, o.height);
        PassMean mean;

        // The renderer waits for its workers however long a pass takes: no time-out here. Its threads
        // and the progress line's start with the cleanup signals held, so those reach this thread.
        Renderer renderer;
        std::optional<Progress> progress;
        {
            SignalsHeld held;
            renderer.pool.run(noWork, nullptr, params.threadCount, renderer.workers());
            progress.emplace(err, o.frames * o.passes, progressStyle(o.progress, errIsTerminal),
                             o.passes > 1 ? "passes" : "frames");
        }
        if (o.passes > 1) {
            allocating = "the pass mean";
            mean.sums.reserve(static_cast<size_t>(o.width) * static_cast<size_t>(o.height) * 3);
        }
        allocating = photonMapsOf(params.photons);
        using Clock = std::chrono::steady_clock;
        Clock::duration rendering{};
        RenderParams passParams = params;
        for (int i = 0; i < o.frames; ++i) {
            const Clock::time_point start = Clock::now();
            for (int pass = 1; pass <= o.passes; ++pass) {
                passParams.pass = pass;
                produceFrame(renderer, *scene, view, passParams, fb, o.timeMs + i * o.stepMs, o.animate);
                if (o.passes > 1) addPass(mean, fb, pass == 1, params.threadCount, renderer.workers());
                if (pass < o.passes) progress->frameDone();
            }
            rendering += Clock::now() - start;
            if (o.outSequence && !writePng(fb, frameFileName(o.outPath, i), error)) {
                progress.reset();
                return fail("--out: " + error);
            }
            progress->frameDone();
        }
        progress.reset();

        if (!o.outPath.empty() && !o.outSequence && !writePng(fb, o.outPath, error)) return fail("--out: " + error);
        std::optional<Comparison> comparison;
        bool passed = true;
        if (!o.comparePath.empty()) {
            allocating = "the difference picture";
            FrameBuffer diff;
            comparison = comparePictures(fb, reference, o.tolerance, o.diffPath.empty() ? nullptr : &diff);
            passed = comparisonPasses(*comparison, o.minMatch);
            if (!o.diffPath.empty() && !writePng(diff, o.diffPath, error)) return fail("--diff: " + error);
        }

        const RayStats stats = totalRayStats(renderer);
        const double seconds = std::chrono::duration<double>(rendering).count();
        RenderReport r;
        r.sceneNumber = demoSceneNumber(scene->id());
        r.width = o.width;
        r.height = o.height;
        r.frames = o.frames;
        r.msPerFrame = seconds * 1000.0 / o.frames;
        r.fps = seconds > 0.0 ? o.frames / seconds : 0.0;
        r.samplesPerFrame = (stats.samples + o.frames / 2) / o.frames;
        r.raysPerFrame = (stats.rays + o.frames / 2) / o.frames;
        r.mraysPerSecond = seconds > 0.0 ? static_cast<double>(stats.rays) / seconds / 1e6 : 0.0;
        r.threads = params.threadCount;
        r.passes = o.passes;
        r.sampling = o.samplingMode == 1 ? "full" : "sub";
        r.shader = shaderName(o.shader);
        r.isa = resolveIsa(params.isa, processorIsa());
        for (int k = 0; k < params.threadCount; ++k) {
            const uint64_t tiles = renderer.renderWorkers[static_cast<size_t>(k)].stats.tiles;
            if (k) r.tilesPerThread += '/';
            r.tilesPerThread += std::to_string((tiles + o.frames / 2) / o.frames);
        }
        r.peakMemoryBytes = peakMemoryBytes();
        r.treeBytes = scene->usesBvh ? scene->bvh.bytes() : scene->tree.bytes();
        r.meshBytes = scene->meshes.bytes();
        r.meshTriangles = scene->meshes.triangleCount();
        r.loadSeconds = loadSeconds;
        r.buildSeconds = buildSeconds;

        errno = 0;
        if (o.json)
            summary << formatJsonReport(r, comparison ? &*comparison : nullptr, passed) << '\n';
        else
            summary << formatReport(r) << '\n' << (comparison ? formatComparison(*comparison) + "\n" : "");
        summary.flush();
        if (!summary)
            return fail(std::string("cannot write the summary to ") + (stdoutTaken ? "stderr: " : "stdout: ") +
                        (errno ? std::strerror(errno) : "write error"));
        return passed ? 0 : 1;
    } catch (const std::bad_alloc&) {
        return fail("out of memory: cannot allocate " + allocating);
    } catch (const std::system_error& e) {
        return fail("cannot start a thread: " + e.code().message());
    }
}

}  // namespace lumo
