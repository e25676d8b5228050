// Every choice a frame's passes, shaders and photon passes read: plain data with the program's
// start values, filled at the boundary (the window's settings, lumo-render's options).
#pragma once

#include <iterator>

#include "core/isa.h"

namespace lumo {

enum SamplingMode : int {
    kSamplingOneToOne = 1,   // "1:1": every pixel traced
    kSamplingSubsampled = 2, // "Subsampling": adaptive 4x4 blocks
};

enum ShaderMode : int {
    kShaderDepth,
    kShaderNormals,
    kShaderReflection,
    kShaderUV,
    kShaderSimple,
    kShaderPhong,
};

// Every shader mode, in menu order and indexed by mode, with its names: the --shader value and the
// Shader menu's text. The options, their help, the menus and the stored settings all read this.
struct ShaderName {
    ShaderMode mode;
    const char* option;
    const char* menu;
};
inline constexpr ShaderName kShaderNames[] = {
    {kShaderDepth, "depth", "Depth"},
    {kShaderNormals, "normals", "Normals"},
    {kShaderReflection, "reflection", "Reflection"},
    {kShaderUV, "uv", "UV-Coords"},
    {kShaderSimple, "simple", "Simple"},
    {kShaderPhong, "phong", "Phong"},
};
inline constexpr bool shaderNamesInModeOrder() {
    for (int i = 0; i < static_cast<int>(std::size(kShaderNames)); ++i)
        if (kShaderNames[i].mode != i) return false;
    return true;
}
static_assert(shaderNamesInModeOrder() && std::size(kShaderNames) == kShaderPhong + 1,
              "kShaderNames lists every mode at its own index");

struct PhotonParams {
    bool causticsCalculate = false;   // run the caustic pass before the frame
    bool causticsDisplay = false;     // shaders add the caustic map
    int causticPhotonCount = 10000;
    int causticSplitCount = 30;
    bool giCalculate = false;         // run the global-illumination pass before the frame
    bool giDisplay = false;           // shaders add the GI map
    int giPhotonCount = 500000;
    int giSplitCount = 2500;
    bool giOnlyIndirect = true;       // first hits are not stored
    int interpolationKernel = 1;      // "Interpolation" 0..6
};

// Whether shaders add the lights' direct light: not where the GI map, which then stores first hits
// too, is the picture's whole light.
inline bool directLightShown(const PhotonParams& p) { return !(p.giDisplay && !p.giOnlyIndirect); }

struct RenderParams {
    SamplingMode sampling = kSamplingSubsampled;
    int refineThresholds[5] = {5, 24, 32, 48, 64};  // T0..T4 of Subsampling
    int antiAliasing = 0;                           // 0 none, 1 up to 2x2, 2 up to 4x4
    bool filter = false;                            // 3x3 smoothing after the passes
    ShaderMode shader = kShaderPhong;
    PhotonParams photons;
    int threadCount = 1;                            // 1 .. kMaxWorkerThreads (64)
    Isa isa = kIsaAuto;                             // camera packets: the widest level the processor has,
                                                    // a narrower one, or scalar (the reference)
    int pass = 1;                                   // refinement pass of a still view, 1 = the plain
                                                    // frame (see core/pass_sequence.h)
};

}  // namespace lumo
