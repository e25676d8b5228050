// The program's settings: written by menu commands and start-up on the UI thread, read by the frame
// loop, which copies what a frame needs at the frame's start (they live in Program::shared).
#pragma once

#include <cstdint>

#include "core/render_params.h"

namespace lumo {

struct RenderSettings {
    // Member initialisers are the values before start-up; applyStartupSettings() sets the start values.
    int16_t animationOn = 1;
    int16_t sceneId = 1;
    int16_t samplingMode = 1;  // 1 "1:1", 2 "Subsampling"
    int16_t threadCount = 1;   // 1 .. 64
    int16_t refineThresholds[5] = {5, 24, 32, 48, 64};
    int16_t adaptiveTargetFps = 0;
    int16_t antiAliasing = 0;  // 0 none, 1 max 2x2, 2 max 4x4
    int16_t interpolationKernel = 1;
    int16_t filterOn = 0;
    int32_t causticPhotonCount = 10000;
    int32_t causticSplitCount = 30;
    int16_t causticsCalculate = 0;
    int16_t causticsDisplay = 0;
    int32_t giPhotonCount = 500000;
    int32_t giSplitCount = 2500;
    int32_t giOnlyIndirect = 1;
    int16_t giCalculate = 0;
    int16_t giDisplay = 0;
    ShaderMode currentShader = kShaderPhong;
    int16_t useAsm = 0;
    int16_t refinePasses = 64;     // a still view refines up to this many passes; 1 = Off
    int16_t traceLogicalSize = 0;  // on a high-density screen, trace one sample per logical pixel
    // The view's size in logical pixels as the window last reported it (what Resolution compares).
    int32_t viewWidth = 0;
    int32_t viewHeight = 0;
};

// The start-up step that departs from the values before start-up: every hardware thread,
// Subsampling, no anti-aliasing, no filter.
void applyStartupSettings(RenderSettings& s);

// What the renderer reads of the settings, for the next frame.
RenderParams renderParams(const RenderSettings& s);

}  // namespace lumo
