// The running mean of the passes that refine a still view.
#pragma once

#include <cstdint>
#include <vector>

#include "core/workers.h"
#include "image/frame_buffer.h"

namespace lumo {

// Floats per pixel in the sums: blue, green, red and the packed pixel's unused top byte (always 0),
// so a pixel's sums fill one 4-lane vector.
inline constexpr int kPassMeanLanes = 4;

// The channel sums of a view's passes so far, one float buffer at the traced size. A pass is an
// 8-bit picture, so every sum is a whole number, exact in single precision for up to
// kMaxRefinePasses passes: the mean is the same whatever order or thread made the passes.
struct PassMean {
    int width = 0;
    int height = 0;
    int passes = 0;
    std::vector<float> sums;  // kPassMeanLanes per pixel: row 0's columns 1..width, then row 1's, ...
};

// Adds fb's displayed pixels to the sums as the next pass, or, with `first`, starts them afresh from
// fb (sized to fb; memory is taken only when fb is larger than ever before), and writes the mean back
// into fb's displayed pixels, every channel rounded to the nearest level. Returns how many channels
// of displayed pixels this pass moved by a level or more (for a first pass: all of them). Blocks of
// rows go to up to `threadCount` workers run with `wait`; neither the sums nor the mean depend on
// which worker took which.
int64_t addPass(PassMean& mean, FrameBuffer& fb, bool first, int threadCount = 1, const WorkerWait& wait = {});

// Releases the sums (refinement switched off).
void releasePassMean(PassMean& mean);

}  // namespace lumo
