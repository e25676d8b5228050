#include "app/commands.h"

#include <algorithm>
#include <string>

#include "app/camera_orbit.h"
#include "app/file_scene.h"
#include "app/platform.h"
#include "app/program.h"
#include "core/workers.h"
#include "scene/demo_scenes.h"

namespace lumo {

namespace {

RenderSettings& s(Program& p) { return p.shared.settings; }
const RenderSettings& s(const Program& p) { return p.shared.settings; }

// Commands that store one value, and the check rule "the setting holds that value".
template <auto Member, auto Value>
void setTo(Program& p) {
    s(p).*Member = Value;
}
template <auto Member, auto Value>
bool holds(const Program& p) {
    return s(p).*Member == Value;
}
template <auto Member>
bool isOn(const Program& p) {
    return s(p).*Member != 0;
}
template <auto Member>
void toggle(Program& p) {
    s(p).*Member = s(p).*Member ? 0 : 1;
}

template <ShaderMode Shader>
void useShader(Program& p) {
    s(p).currentShader = Shader;
}
template <ShaderMode Shader>
bool shaderIs(const Program& p) {
    return s(p).currentShader == Shader;
}

template <int Scene>
void sceneCommand(Program& p) {
    selectScene(p, Scene);
}

template <int Width, int Height>
void resizeTo(Program& p) {
    p.platform.resizeView(Width, Height);
}
// The view shows this size, whichever way it got it.
template <int Width, int Height>
bool viewIs(const Program& p) {
    return s(p).viewWidth == Width && s(p).viewHeight == Height;
}

// A Sampling preset also switches the adaptive target off.
template <int T0, int T1, int T2, int T3, int T4>
void samplingPreset(Program& p) {
    const int16_t preset[5] = {T0, T1, T2, T3, T4};
    std::copy(preset, preset + 5, s(p).refineThresholds);
    s(p).adaptiveTargetFps = 0;
}
// The thresholds are this preset's (the adaptive control may have moved them off every preset).
template <int T0, int T1, int T2, int T3, int T4>
bool samplingIs(const Program& p) {
    const int16_t preset[5] = {T0, T1, T2, T3, T4};
    return std::equal(preset, preset + 5, s(p).refineThresholds);
}

// Anti-aliasing refines subsampled blocks; "1:1" has none to refine.
bool antiAliasingApplies(const Program& p) { return s(p).samplingMode == 2; }

void zoomIn(Program& p) { zoomBy(p.shared, 1.0f); }
void zoomOut(Program& p) { zoomBy(p.shared, -1.0f); }
void resetCamera(Program& p) { resetOrbit(p.shared, s(p).sceneId); }
void toggleFly(Program& p) {
    Fly& fly = p.shared.fly;
    fly.on = !fly.on;
    fly.keys = 0;
}
bool flying(const Program& p) { return p.shared.fly.on; }

void toggleFullscreen(Program& p) { p.platform.setFullscreen(!p.platform.fullscreen()); }
bool isFullscreen(const Program& p) { return p.platform.fullscreen(); }
void savePicture(Program& p) { p.platform.savePicture(); }

// Tracing at logical size only differs where a logical pixel covers several device pixels.
bool highDensityScreen(const Program& p) { return p.platform.devicePixelRatio() > 1.0; }

void toggleAnimation(Program& p) {
    toggle<&RenderSettings::animationOn>(p);
    // Caustics of a frozen scene stay frozen with it.
    if (!s(p).animationOn) s(p).causticsCalculate = 0;
}

void toggleCausticsCalculate(Program& p) {
    toggle<&RenderSettings::causticsCalculate>(p);
    if (s(p).causticsCalculate) s(p).causticsDisplay = 1;
}

void toggleGiCalculate(Program& p) {
    toggle<&RenderSettings::giCalculate>(p);
    if (s(p).giCalculate) s(p).giDisplay = 1;
}

bool sceneHasCaustics(const Program& p) { return currentDescriptor(p.shared).offersCaustics; }
bool sceneHasGi(const Program& p) { return currentDescriptor(p.shared).offersGi; }
// The kernels only change how a photon map is read: without one on show they change nothing.
bool photonMapShown(const Program& p) {
    return (s(p).causticsDisplay && sceneHasCaustics(p)) || (s(p).giDisplay && sceneHasGi(p));
}
// Scenes from files, the Area Light and the Cornell Box stand still: Animation changes nothing there.
bool sceneMoves(const Program& p) { return demoSceneMoves(s(p).sceneId); }

// "All (N)": every hardware thread of this machine. A constant, made once for the command table.
const char* allThreadsText() {
    static const std::string text = "All (" + std::to_string(hardwareThreads()) + ")";
    return text.c_str();
}
void useAllThreads(Program& p) { s(p).threadCount = static_cast<int16_t>(hardwareThreads()); }
bool usesAllThreads(const Program& p) { return s(p).threadCount == hardwareThreads(); }
// A count that is also every hardware thread shows as "All (N)" alone.
template <int N>
bool threadsAre(const Program& p) {
    return s(p).threadCount == N && N != hardwareThreads();
}

// The Demo menu text of scene id.
const char* sceneName(int id) { return findDemoScene(id)->menuName; }

// The optimised routines must never run on a processor without SSE: there the switch can only be
// turned off (should it ever be on) and is otherwise disabled.
void toggleAsm(Program& p) {
    if (s(p).useAsm) {
        s(p).useAsm = 0;
    } else if (p.processorHasSse) {
        s(p).useAsm = 1;
    }
}
bool asmEnabled(const Program& p) { return p.processorHasSse || s(p).useAsm != 0; }
bool asmChecked(const Program& p) { return s(p).useAsm == 1; }

void exitProgram(Program& p) { p.platform.requestQuit(); }
void showAbout(Program& p) { p.platform.showAbout(); }

using S = RenderSettings;

const Command kCommands[] = {
    // Demo
    {kCmdMirrorsphere, sceneName(1), nullptr, sceneCommand<1>, holds<&S::sceneId, 1>, nullptr, "1"},
    {kCmdSpheres, sceneName(6), nullptr, sceneCommand<6>, holds<&S::sceneId, 6>, nullptr, "2"},
    {kCmdBalls, sceneName(2), nullptr, sceneCommand<2>, holds<&S::sceneId, 2>, nullptr, "3"},
    {kCmdTorus, sceneName(5), nullptr, sceneCommand<5>, holds<&S::sceneId, 5>, nullptr, "4"},
    {kCmdCube, sceneName(3), nullptr, sceneCommand<3>, holds<&S::sceneId, 3>, nullptr, "5"},
    {kCmdEgg, sceneName(8), nullptr, sceneCommand<8>, holds<&S::sceneId, 8>, nullptr, "6"},
    {kCmdShadows1, sceneName(4), nullptr, sceneCommand<4>, holds<&S::sceneId, 4>, nullptr, "7"},
    {kCmdAreaLight, sceneName(7), nullptr, sceneCommand<7>, holds<&S::sceneId, 7>, nullptr, "8"},
    {kCmdCornellBox, sceneName(9), nullptr, sceneCommand<9>, holds<&S::sceneId, 9>, nullptr, "9"},
    {kCmdOpenScene, "&Open Scene...", "Show a scene file, or a mesh file on a ground", openScene, nullptr, nullptr, "Ctrl+O", true},
    {kCmdAnimation, "Animation", nullptr, toggleAnimation, isOn<&S::animationOn>, sceneMoves, "Space"},
    {kCmdZoomIn, "Zoom In", "Move the camera closer", zoomIn, nullptr, nullptr, "+; =; Num++"},
    {kCmdZoomOut, "Zoom Out", "Move the camera away", zoomOut, nullptr, nullptr, "-; Num+-"},
    {kCmdResetCamera, "&Reset Camera", "Put the camera back where the scene starts", resetCamera, nullptr, nullptr,
     "R; Home"},
    {kCmdFly, "Fl&y", "Move with W, A, S, D, Q and E, look around with the left button, set the speed with the wheel",
     toggleFly, flying, nullptr, "F"},
    {kCmdFullscreen, "&Fullscreen", "Show the picture on the whole screen", toggleFullscreen, isFullscreen, nullptr,
     "F11", true},
    {kCmdSavePicture, "&Save Picture...", "Save the picture as shown as a PNG file", savePicture, nullptr, nullptr,
     "Ctrl+S", true},
    {kCmdExit, "E&xit", "Quit the application", exitProgram, nullptr, nullptr, "Ctrl+Q", true},
    // Quality
    {kCmdOneToOne, "1:1", nullptr, setTo<&S::samplingMode, 1>, holds<&S::samplingMode, 1>, nullptr},
    {kCmdSubsampling, "Subsampling", nullptr, setTo<&S::samplingMode, 2>, holds<&S::samplingMode, 2>, nullptr},
    {kCmdAntiAliasNone, "None", nullptr, setTo<&S::antiAliasing, 0>, holds<&S::antiAliasing, 0>,
     antiAliasingApplies},
    {kCmdAntiAliasGood, "Good (max. 2x2)", nullptr, setTo<&S::antiAliasing, 1>, holds<&S::antiAliasing, 1>,
     antiAliasingApplies},
    {kCmdAntiAliasBest, "Best  (max. 4x4)", nullptr, setTo<&S::antiAliasing, 2>, holds<&S::antiAliasing, 2>,
     antiAliasingApplies},
    {kCmdInterpNone, "None", nullptr, setTo<&S::interpolationKernel, 0>, holds<&S::interpolationKernel, 0>, photonMapShown},
    {kCmdInterpCenter, "Unified Center-Kernel", nullptr, setTo<&S::interpolationKernel, 1>,
     holds<&S::interpolationKernel, 1>, photonMapShown},
    {kCmdInterpCenterLarge, "Unified Center Kernel (large)", nullptr, setTo<&S::interpolationKernel, 2>,
     holds<&S::interpolationKernel, 2>, photonMapShown},
    {kCmdInterpBilinear, "Unified Bilinear Kernel", nullptr, setTo<&S::interpolationKernel, 3>,
     holds<&S::interpolationKernel, 3>, photonMapShown},
    {kCmdInterpDifferential, "Differential Bilinear", nullptr, setTo<&S::interpolationKernel, 4>,
     holds<&S::interpolationKernel, 4>, photonMapShown},
    {kCmdInterpStacked, "Stacked Bilinear Kernels", nullptr, setTo<&S::interpolationKernel, 5>,
     holds<&S::interpolationKernel, 5>, photonMapShown},
    {kCmdInterpPatches, "Precalculated Bilinear Patches", nullptr, setTo<&S::interpolationKernel, 6>,
     holds<&S::interpolationKernel, 6>, photonMapShown},
    {kCmdCausticSamples2500, "  2500 (Coarse)", nullptr, setTo<&S::causticPhotonCount, 2500>,
     holds<&S::causticPhotonCount, 2500>, nullptr},
    {kCmdCausticSamples10000, "10000 (Medium)", nullptr, setTo<&S::causticPhotonCount, 10000>,
     holds<&S::causticPhotonCount, 10000>, nullptr},
    {kCmdCausticSamples40000, "40000 (Fine)", nullptr, setTo<&S::causticPhotonCount, 40000>,
     holds<&S::causticPhotonCount, 40000>, nullptr},
    {kCmdCausticQuality20, "20 (Noisy)", nullptr, setTo<&S::causticSplitCount, 20>, holds<&S::causticSplitCount, 20>,
     nullptr},
    {kCmdCausticQuality30, "30 (Medium)", nullptr, setTo<&S::causticSplitCount, 30>, holds<&S::causticSplitCount, 30>,
     nullptr},
    {kCmdCausticQuality40, "40 (Smooth)", nullptr, setTo<&S::causticSplitCount, 40>, holds<&S::causticSplitCount, 40>,
     nullptr},
    {kCmdCausticsCalculate, "Calculate", nullptr, toggleCausticsCalculate, isOn<&S::causticsCalculate>,
     sceneHasCaustics},
    {kCmdCausticsDisplay, "Display", nullptr, toggle<&S::causticsDisplay>, isOn<&S::causticsDisplay>,
     sceneHasCaustics},
    {kCmdGiSamples125k, "125,000 (Coarse)", nullptr, setTo<&S::giPhotonCount, 125000>, holds<&S::giPhotonCount, 125000>,
     nullptr},
    {kCmdGiSamples500k, "500,000 (Medium)", nullptr, setTo<&S::giPhotonCount, 500000>, holds<&S::giPhotonCount, 500000>,
     nullptr},
    {kCmdGiSamples2m, "2,000,000 (Fine)", nullptr, setTo<&S::giPhotonCount, 2000000>,
     holds<&S::giPhotonCount, 2000000>, nullptr},
    {kCmdGiQuality1000, "1000 (Noisy)", nullptr, setTo<&S::giSplitCount, 1000>, holds<&S::giSplitCount, 1000>, nullptr},
    {kCmdGiQuality2500, "2500 (Medium)", nullptr, setTo<&S::giSplitCount, 2500>, holds<&S::giSplitCount, 2500>, nullptr},
    {kCmdGiQuality5000, "5000 (Smooth)", nullptr, setTo<&S::giSplitCount, 5000>, holds<&S::giSplitCount, 5000>, nullptr},
    {kCmdGiOnlyIndirect, "Only Indirect", nullptr, toggle<&S::giOnlyIndirect>, isOn<&S::giOnlyIndirect>, nullptr},
    {kCmdGiCalculate, "Calculate", nullptr, toggleGiCalculate, isOn<&S::giCalculate>, sceneHasGi},
    {kCmdGiDisplay, "Display", nullptr, toggle<&S::giDisplay>, isOn<&S::giDisplay>, sceneHasGi},
    {kCmdFilter, "Filter", nullptr, toggle<&S::filterOn>, isOn<&S::filterOn>, nullptr},
    {kCmdResolution320, "320x240", nullptr, resizeTo<320, 240>, viewIs<320, 240>, nullptr, nullptr, true},
    {kCmdResolution480, "480x360", nullptr, resizeTo<480, 360>, viewIs<480, 360>, nullptr, nullptr, true},
    {kCmdResolution512, "512x384", nullptr, resizeTo<512, 384>, viewIs<512, 384>, nullptr, nullptr, true},
    {kCmdResolution640, "640x480", nullptr, resizeTo<640, 480>, viewIs<640, 480>, nullptr, nullptr, true},
    {kCmdResolution800, "800x600", nullptr, resizeTo<800, 600>, viewIs<800, 600>, nullptr, nullptr, true},
    {kCmdTraceLogicalSize, "Trace at Logical Size", "One sample per logical pixel on a high-density screen: faster",
     toggle<&S::traceLogicalSize>, isOn<&S::traceLogicalSize>, highDensityScreen},
    {kCmdThreads1, "1", nullptr, setTo<&S::threadCount, 1>, threadsAre<1>, nullptr},
    {kCmdThreads2, "2", nullptr, setTo<&S::threadCount, 2>, threadsAre<2>, nullptr},
    {kCmdThreads4, "4", nullptr, setTo<&S::threadCount, 4>, threadsAre<4>, nullptr},
    {kCmdThreadsAll, allThreadsText(), nullptr, useAllThreads, usesAllThreads, nullptr},
    {kCmdSamplingRaw, "1/16 (Raw)", nullptr, samplingPreset<9999, 300, 300, 300, 300>,
     samplingIs<9999, 300, 300, 300, 300>, nullptr},
    {kCmdSampling16, "1/16", nullptr, samplingPreset<-1, 300, 300, 300, 300>,
     samplingIs<-1, 300, 300, 300, 300>, nullptr},
    {kCmdSampling4, "1/4", nullptr, samplingPreset<-1, -1, 300, 300, 300>,
     samplingIs<-1, -1, 300, 300, 300>, nullptr},
    {kCmdSampling1, "1/1", nullptr, samplingPreset<-1, -1, -1, 48, 64>,
     samplingIs<-1, -1, -1, 48, 64>, nullptr},
    {kCmdSamplingStandard, "Standard", nullptr, samplingPreset<5, 24, 32, 48, 64>,
     samplingIs<5, 24, 32, 48, 64>, nullptr},
    {kCmdAdaptive5, "  5 fps", nullptr, setTo<&S::adaptiveTargetFps, 5>, holds<&S::adaptiveTargetFps, 5>, nullptr},
    {kCmdAdaptive10, "10 fps", nullptr, setTo<&S::adaptiveTargetFps, 10>, holds<&S::adaptiveTargetFps, 10>, nullptr},
    {kCmdAdaptive15, "15 fps", nullptr, setTo<&S::adaptiveTargetFps, 15>, holds<&S::adaptiveTargetFps, 15>, nullptr},
    {kCmdAdaptive20, "20 fps", nullptr, setTo<&S::adaptiveTargetFps, 20>, holds<&S::adaptiveTargetFps, 20>, nullptr},
    {kCmdAdaptive25, "25 fps", nullptr, setTo<&S::adaptiveTargetFps, 25>, holds<&S::adaptiveTargetFps, 25>, nullptr},
    {kCmdAdaptive30, "30 fps", nullptr, setTo<&S::adaptiveTargetFps, 30>, holds<&S::adaptiveTargetFps, 30>, nullptr},
    {kCmdAdaptiveOff, "Off", "Keep the sampling thresholds where they are", setTo<&S::adaptiveTargetFps, 0>,
     holds<&S::adaptiveTargetFps, 0>, nullptr},
    {kCmdRefineOff, "Off", "Show every frame as it is traced", setTo<&S::refinePasses, 1>, holds<&S::refinePasses, 1>,
     nullptr},
    {kCmdRefine16, "16 Passes", "Refine a still view with up to 16 passes", setTo<&S::refinePasses, 16>,
     holds<&S::refinePasses, 16>, nullptr},
    {kCmdRefine64, "64 Passes", "Refine a still view with up to 64 passes", setTo<&S::refinePasses, 64>,
     holds<&S::refinePasses, 64>, nullptr},
    {kCmdRefine256, "256 Passes", "Refine a still view with up to 256 passes", setTo<&S::refinePasses, 256>,
     holds<&S::refinePasses, 256>, nullptr},
    // Shader
    {kCmdShadeDepth, kShaderNames[kShaderDepth].menu, nullptr, useShader<kShaderDepth>, shaderIs<kShaderDepth>, nullptr},
    {kCmdShadeNormals, kShaderNames[kShaderNormals].menu, nullptr, useShader<kShaderNormals>, shaderIs<kShaderNormals>, nullptr},
    {kCmdShadeReflection, kShaderNames[kShaderReflection].menu, nullptr, useShader<kShaderReflection>, shaderIs<kShaderReflection>, nullptr},
    {kCmdShadeUV, kShaderNames[kShaderUV].menu, nullptr, useShader<kShaderUV>, shaderIs<kShaderUV>, nullptr},
    {kCmdShadeSimple, kShaderNames[kShaderSimple].menu, nullptr, useShader<kShaderSimple>, shaderIs<kShaderSimple>, nullptr},
    {kCmdShadePhong, kShaderNames[kShaderPhong].menu, nullptr, useShader<kShaderPhong>, shaderIs<kShaderPhong>, nullptr},
    // Test
    {kCmdAsm, "Asm", "Use optimized assembly routines", toggleAsm, asmChecked, asmEnabled},
    // Info
    {kCmdAbout, "&About Lumo...", "Display program information, version number and copyright", showAbout, nullptr,
     nullptr, "F1", true},
};

}  // namespace

void selectScene(Program& program, int sceneId) {
    const SceneDescriptor* d = findDemoScene(sceneId);
    if (!d) return;
    program.shared.pendingScene.reset();  // a scene file opened just before gives way
    resetOrbit(program.shared, sceneId);
    program.platform.setTitle(d->title);
    RenderSettings& st = program.shared.settings;
    st.interpolationKernel = static_cast<int16_t>(d->interpolationKernel);
    st.causticsCalculate = st.causticsDisplay = d->causticsOnSelect ? 1 : 0;
    st.giCalculate = st.giDisplay = d->giOnSelect ? 1 : 0;
    st.sceneId = static_cast<int16_t>(sceneId);
}

std::span<const Command> commands() { return kCommands; }

const Command* findCommand(int id) {
    for (const Command& c : kCommands)
        if (c.id == id) return &c;
    return nullptr;
}

CommandState commandState(const Program& program, int id) {
    const Command* c = findCommand(id);
    if (!c) return {};
    return {c->checked != nullptr, c->checked && c->checked(program), !c->enabled || c->enabled(program)};
}

bool executeCommand(Program& program, int id) {
    const Command* c = findCommand(id);
    if (!c || (c->enabled && !c->enabled(program))) return false;
    c->execute(program);
    return true;
}

int shaderCommand(ShaderMode mode) {
    switch (mode) {
        case kShaderDepth: return kCmdShadeDepth;
        case kShaderNormals: return kCmdShadeNormals;
        case kShaderReflection: return kCmdShadeReflection;
        case kShaderUV: return kCmdShadeUV;
        case kShaderSimple: return kCmdShadeSimple;
        case kShaderPhong: return kCmdShadePhong;
    }
    return kCmdShadePhong;
}

}  // namespace lumo
