#include "app/file_scene.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <filesystem>

#include "app/camera_orbit.h"
#include "app/platform.h"
#include "app/program.h"
#include "core/workers.h"
#include "scene/demo_scenes.h"
#include "scenefile/open_file.h"

namespace lumo {

namespace {

constexpr const char* kOpenCaption = "Open Scene";

std::string fileNameOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// Just outside the scene box's farthest corner, seen from the orbit centre, as for the demo scenes.
float closestFor(const Scene& scene) {
    const Vec3 c = scene.camera.orbitCentre;
    const Box& b = scene.bounds;
    const float x = std::max(std::fabs(b.min.x - c.x), std::fabs(b.max.x - c.x));
    const float y = std::max(std::fabs(b.min.y - c.y), std::fabs(b.max.y - c.y));
    const float z = std::max(std::fabs(b.min.z - c.z), std::fabs(b.max.z - c.z));
    return std::sqrt(x * x + y * y + z * z) * 1.02f;
}

}  // namespace

const SceneDescriptor& currentDescriptor(const SharedState& state) {
    const SceneDescriptor* d = findDemoScene(state.settings.sceneId);
    return d ? *d : state.fileScene.descriptor;
}

void selectFileScene(Program& program, std::unique_ptr<Scene> scene, const std::string& fileName,
                     const ScenePhotonCounts& photons) {
    SharedState& shared = program.shared;
    FileSceneInfo& info = shared.fileScene;
    info.fileName = fileName;
    // An exported demo scene keeps its own title ("LUMO-Demo: ..."), so it gets no second prefix.
    const bool ownPrefix = scene->title.rfind("LUMO", 0) == 0;
    info.title = scene->title.empty() || scene->title == fileName
                     ? "LUMO: " + fileName
                     : (ownPrefix ? "" : "LUMO: ") + scene->title + " (" + fileName + ")";
    info.descriptor = scene->descriptor;
    info.descriptor.id = 0;
    info.descriptor.menuName = info.fileName.c_str();
    info.descriptor.cliName = info.fileName.c_str();
    info.descriptor.title = info.title.c_str();
    info.startDistance = scene->camera.orbitRadius;
    info.fieldOfView = scene->camera.fieldOfView;
    // A start inside the box still zooms: the limits always hold the start distance.
    info.closestDistance = std::min(closestFor(*scene), info.startDistance);
    info.farthestDistance = std::max(kMaxEyeDistance, 4.0f * info.startDistance);

    RenderSettings& st = shared.settings;
    const SceneDescriptor& d = info.descriptor;
    st.interpolationKernel = static_cast<int16_t>(d.interpolationKernel);
    st.causticsCalculate = st.causticsDisplay = d.causticsOnSelect ? 1 : 0;
    st.giCalculate = st.giDisplay = d.giOnSelect ? 1 : 0;
    if (photons.causticPhotons) st.causticPhotonCount = photons.causticPhotons;
    if (photons.causticSplit) st.causticSplitCount = photons.causticSplit;
    if (photons.giPhotons) st.giPhotonCount = photons.giPhotons;
    if (photons.giSplit) st.giSplitCount = photons.giSplit;
    if (photons.giOnlyIndirect >= 0) st.giOnlyIndirect = photons.giOnlyIndirect;
    st.sceneId = 0;
    shared.pendingScene = std::move(scene);
    resetOrbit(shared, 0);
    program.platform.setTitle(info.title);
}

bool useLoadedScene(Program& program, SceneFileResult loaded, const std::string& path) {
    Platform& platform = program.platform;
    if (!loaded.scene) {
        platform.showMessage(kOpenCaption, loaded.error);
        return false;
    }
    std::unique_ptr<Scene> scene = std::move(loaded.scene);
    const ScenePhotonCounts photons = loaded.photons;
    platform.editProgram([&] { selectFileScene(program, std::move(scene), fileNameOf(path), photons); });
    if (!loaded.warnings.empty()) {
        std::string text;
        for (const std::string& warning : loaded.warnings) text += (text.empty() ? "" : "\n") + warning;
        platform.showMessage(kOpenCaption, text);
    }
    return true;
}

std::string loadingText(const std::string& fileName, double fraction) {
    return "Loading " + fileName + " ... " + std::to_string(static_cast<int>(fraction * 100.0)) + "%";
}

void openSceneFile(Program& program, const std::string& path) {
    struct Load {
        std::string path;
        LoadProgress progress;
        SceneFileResult result;
        uint64_t number = 0;
    };
    auto load = std::make_shared<Load>();
    load->path = path;
    load->number = ++program.ui.sceneLoads;
    const std::string name = fileNameOf(path);
    program.platform.runInBackground(
        [load] { load->result = openSceneOrMesh(load->path, hardwareThreads(), &load->progress); },
        [&program, load] {
            if (load->number != program.ui.sceneLoads) return;  // a later open supersedes it
            program.platform.setStatusText("");
            if (useLoadedScene(program, std::move(load->result), load->path))
                rememberRecentScene(program.ui.recentScenes, load->path);
        },
        [load, name] { return loadingText(name, load->progress.fraction()); });
}

void rememberRecentScene(std::vector<std::string>& recent, const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    const std::string entry = error ? path : absolute.lexically_normal().string();
    std::erase(recent, entry);
    recent.insert(recent.begin(), entry);
    if (recent.size() > kRecentScenes) recent.resize(kRecentScenes);
}

void openScene(Program& program) {
    const std::string path = program.platform.chooseSceneFile();
    if (!path.empty()) openSceneFile(program, path);
}

}  // namespace lumo
