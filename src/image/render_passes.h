// The passes of one picture, "1:1" and "Subsampling", on 1, 2 or 4 workers.
//
// A Sampler has `void enter(int slot)` (called on the thread that is about to sample with that slot)
// and `uint32_t operator()(int slot, float row, float column)`. renderFrame drives these passes with a
// sampler that traces camera rays; tests drive them with synthetic pictures. Samplers are called
// from the pass's threads, slot k from one thread only.
#pragma once

#include "core/workers.h"
#include "image/filter.h"
#include "image/frame_buffer.h"
#include "image/refine.h"

namespace lumo {

struct FrameParams {
    int samplingMode = 2;  // 1 "1:1", 2 "Subsampling"
    int threadCount = 1;   // 1, 2 or 4
    bool filter = false;
    RefineSettings refine;
};

// Rows [rowBegin, rowEnd) and columns [columnBegin, columnEnd) traced by worker k in "1:1".
struct PixelRange {
    int rowBegin, rowEnd, columnBegin, columnEnd;
};

inline int validThreadCount(int n) { return n >= 4 ? 4 : (n >= 2 ? 2 : 1); }

inline PixelRange fullPassRange(int k, int threadCount, int width, int height) {
    const int d = width / 2 > 1 ? width / 2 : 1;  // columns 1..d-1 and d..width
    const int e = height / 2;                       // rows 0..e-1 and e..height-1
    switch (threadCount) {
    case 2:
        return k == 0 ? PixelRange{0, height, 1, d} : PixelRange{0, height, d, width + 1};
    case 4: {
        const int rowBegin = k < 2 ? 0 : e, rowEnd = k < 2 ? e : height;
        return (k & 1) == 0 ? PixelRange{rowBegin, rowEnd, 1, d} : PixelRange{rowBegin, rowEnd, d, width + 1};
    }
    default:
        return PixelRange{0, height, 1, width + 1};
    }
}

// Where the "Subsampling" rectangles meet: multiples of 4, so block grids line up across them.
inline int splitColumn(int threadCount, int width) { return threadCount >= 2 ? (width / 2) & ~3 : 0; }
inline int splitRow(int threadCount, int height) { return threadCount == 4 ? (height / 2) & ~3 : 0; }

template <class Sampler>
class FramePass {
public:
    FramePass(FrameBuffer& fb, const FrameParams& params, Sampler& sampler, const WorkerWait& wait)
        : fb_(fb), params_(params), sampler_(sampler), wait_(wait), threads_(validThreadCount(params.threadCount)) {}

    void run() {
        if (fb_.width <= 0 || fb_.height <= 0) return;
        if (params_.samplingMode == 2) {
            prepareSubsampling();
            runWorkers(&FramePass::blockWorker, this, threads_, wait_);
        } else {
            runWorkers(&FramePass::fullWorker, this, threads_, wait_);
        }
        if (params_.filter) filterFrame(fb_);
    }

private:
    FrameBuffer& fb_;
    const FrameParams& params_;
    Sampler& sampler_;
    const WorkerWait& wait_;
    int threads_;
    SharedLines shared_;
    struct Rect {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    };
    Rect rects_[4];  // the block rectangle of each Subsampling worker

    uint32_t& P(int y, int x) { return fb_.at(y, x); }
    uint32_t trace(int slot, int y, int x) {
        return P(y, x) = sampler_(slot, static_cast<float>(y), static_cast<float>(x));
    }

    static void fullWorker(int k, void* context) {
        auto& pass = *static_cast<FramePass*>(context);
        pass.sampler_.enter(k);
        const PixelRange r = fullPassRange(k, pass.threads_, pass.fb_.width, pass.fb_.height);
        for (int y = r.rowBegin; y < r.rowEnd; ++y)
            for (int x = r.columnBegin; x < r.columnEnd; ++x) pass.trace(k, y, x);
    }

    static void blockWorker(int k, void* context) {
        auto& pass = *static_cast<FramePass*>(context);
        pass.sampler_.enter(k);
        const Rect& r = pass.rects_[k];
        BlockPass<Sampler> blocks(pass.fb_, pass.sampler_, pass.params_.refine, k, pass.shared_);
        blocks.refineBlocks(r.x0, r.y0, r.x1, r.y1);
    }

    // Everything the block workers need before they start, traced on the calling thread with slot 0:
    // row 0 and column 0 every 4 pixels with fills between, the lines between the rectangles, and the
    // margin right of and above the 4-pixel grid when the size is not a multiple of 4.
    void prepareSubsampling() {
        const int w = fb_.width, h = fb_.height;
        sampler_.enter(0);
        BlockPass<Sampler> blocks(fb_, sampler_, params_.refine, 0, SharedLines{});
        trace(0, 0, 0);
        for (int x = 4; x <= w; x += 4) {
            trace(0, 0, x);
            blocks.fillRow(0, x);
        }
        for (int y = 4; y <= h; y += 4) {
            trace(0, y, 0);
            blocks.fillColumn(y, 0);
        }

        const int d = splitColumn(threads_, w), e = splitRow(threads_, h);
        shared_ = SharedLines{};
        if (d > 0) {
            prepareSharedColumn(blocks, d);
            shared_.column = d;
        }
        if (e > 0) {
            prepareSharedRow(blocks, e, d);
            shared_.row = e;
        }
        traceMargins();

        // Four threads: the quadrants; two: the halves left and right of d; one: everything.
        const int quadrants[4][4] = {{0, 0, d, e}, {d, 0, w, e}, {0, e, d, h}, {d, e, w, h}};
        const int halves[2][4] = {{0, 0, d, h}, {d, 0, w, h}};
        const int whole[4] = {0, 0, w, h}, none[4] = {0, 0, 0, 0};
        for (int k = 0; k < 4; ++k) {
            const int* r = threads_ == 4 ? quadrants[k]
                           : threads_ == 2 ? (k < 2 ? halves[k] : none)
                                           : (k == 0 ? whole : none);
            rects_[k] = Rect{r[0], r[1], r[2], r[3]};
        }
    }

    // Column d complete before the workers, with exactly the values the block pass would give it:
    // the block test needs the corners one block to the left, which are traced here as well.
    void prepareSharedColumn(BlockPass<Sampler>& blocks, int d) {
        const int* t = params_.refine.threshold;
        for (int y = 4; y <= fb_.height; y += 4) {
            trace(0, y, d);
            if (d - 4 > 0) trace(0, y, d - 4);
            if (blockDifference(P(y, d), P(y - 4, d - 4), P(y, d - 4), P(y - 4, d)) <= t[0]) {
                P(y - 1, d) = P(y - 2, d) = P(y - 3, d) = P(y, d);
            } else if (maxChannelDifference(P(y, d), P(y - 4, d)) > t[1]) {
                trace(0, y - 2, d);
                for (int yy = y - 2; yy <= y; yy += 2) {
                    if (maxChannelDifference(P(yy, d), P(yy - 2, d)) > t[2])
                        trace(0, yy - 1, d);
                    else
                        P(yy - 1, d) = average2(P(yy - 2, d), P(yy, d));
                }
            } else {
                blocks.fillColumn(y, d);
            }
        }
    }

    // Row e likewise; corners that prepareSharedColumn has traced already are reused.
    void prepareSharedRow(BlockPass<Sampler>& blocks, int e, int d) {
        const int* t = params_.refine.threshold;
        for (int x = 4; x <= fb_.width; x += 4) {
            const bool onColumnWork = d > 0 && (x == d || x == d - 4);
            if (!onColumnWork) {
                trace(0, e, x);
                if (e - 4 > 0) trace(0, e - 4, x);
            }
            if (blockDifference(P(e, x), P(e - 4, x - 4), P(e, x - 4), P(e - 4, x)) <= t[0]) {
                P(e, x - 1) = P(e, x - 2) = P(e, x - 3) = P(e, x);
            } else if (maxChannelDifference(P(e, x), P(e, x - 4)) > t[1]) {
                trace(0, e, x - 2);
                for (int xx = x - 2; xx <= x; xx += 2) {
                    if (maxChannelDifference(P(e, xx), P(e, xx - 2)) > t[2])
                        trace(0, e, xx - 1);
                    else
                        P(e, xx - 1) = average2(P(e, xx - 2), P(e, xx));
                }
            } else {
                blocks.fillRow(e, x);
            }
        }
    }

    // The 4-pixel grid ends at the last multiple of 4; the displayed pixels beyond it are traced.
    void traceMargins() {
        const int w = fb_.width, h = fb_.height;
        const int gridWidth = w & ~3, gridHeight = h & ~3;
        for (int y = 0; y < h; ++y)
            for (int x = gridWidth + 1; x <= w; ++x) trace(0, y, x);
        for (int y = gridHeight + 1; y < h; ++y)
            for (int x = 1; x <= gridWidth; ++x) trace(0, y, x);
    }
};

template <class Sampler>
void renderPasses(FrameBuffer& fb, const FrameParams& params, Sampler& sampler, const WorkerWait& wait = {}) {
    FramePass<Sampler>(fb, params, sampler, wait).run();
}

}  // namespace lumo
