// The passes of one picture, "1:1" and "Subsampling", on any number of workers taking tiles in turn.
// The picture does not depend on the number of workers or on which worker takes which tile.
//
// A Sampler has `void enter(int slot)` (called on the thread that is about to sample with that slot)
// and `uint32_t operator()(int slot, float row, float column)`; it may have `traceRow` (see refine.h)
// and `void countTile(int slot)`, told of every tile a slot takes. renderFrame drives these passes
// with a sampler that traces camera rays; tests drive them with synthetic pictures. Samplers are
// called from the pass's threads, slot k from one thread only.
#pragma once

#include <algorithm>
#include <atomic>
#include <barrier>
#include <cstdint>
#include <vector>

#include "core/workers.h"
#include "image/filter.h"
#include "image/frame_buffer.h"
#include "image/refine.h"

namespace lumo {

struct FrameParams {
    int samplingMode = 2;  // 1 "1:1", 2 "Subsampling"
    int threadCount = 1;   // 1 .. kMaxWorkerThreads
    bool filter = false;
    RefineSettings refine;
};


inline int validThreadCount(int n) { return n < 1 ? 1 : (n > kMaxWorkerThreads ? kMaxWorkerThreads : n); }

// A rectangle of the picture: rows [rowBegin, rowEnd), columns [columnBegin, columnEnd).
struct PixelRange {
    int rowBegin, rowEnd, columnBegin, columnEnd;
};

// Tile i of "1:1" over the displayed columns 1..width and rows 0..height-1, row by row from the bottom.
inline int fullPassTileCount(int width, int height) {
    return ((width + kTileSize - 1) / kTileSize) * ((height + kTileSize - 1) / kTileSize);
}
inline PixelRange fullPassTile(int i, int width, int height) {
    const int across = (width + kTileSize - 1) / kTileSize;
    const int x0 = 1 + (i % across) * kTileSize, y0 = (i / across) * kTileSize;
    return {y0, std::min(y0 + kTileSize, height), x0, std::min(x0 + kTileSize, width + 1)};
}

// Tile i of "Subsampling": the blocks whose far corner lies in (columnBegin, columnEnd] x
// (rowBegin, rowEnd] of the block grid (gridWidth x gridHeight, multiples of 4).
inline int blockTileCount(int gridWidth, int gridHeight) {
    return ((gridWidth + kTileSize - 1) / kTileSize) * ((gridHeight + kTileSize - 1) / kTileSize);
}
inline PixelRange blockTile(int i, int gridWidth, int gridHeight) {
    const int across = (gridWidth + kTileSize - 1) / kTileSize;
    const int x0 = (i % across) * kTileSize, y0 = (i / across) * kTileSize;
    return {y0, std::min(y0 + kTileSize, gridHeight), x0, std::min(x0 + kTileSize, gridWidth)};
}

template <class Sampler>
class FramePass {
public:
    FramePass(FrameBuffer& fb, const FrameParams& params, Sampler& sampler, const WorkerWait& wait)
        : fb_(fb), params_(params), sampler_(sampler), wait_(wait), threads_(validThreadCount(params.threadCount)) {}

    void run() {
        if (fb_.width <= 0 || fb_.height <= 0) return;
        nextTile_.store(0, std::memory_order_relaxed);
        if (params_.samplingMode == 2) {
            prepareSubsampling();
            std::barrier<> phases(threads_);
            phases_ = &phases;
            runWorkers(&FramePass::blockWorker, this, threads_, wait_);
            if (params_.refine.antiAliasing != 0) antiAliasLines();
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
    std::atomic<int> nextTile_{0};
    std::atomic<int> nextColumnLine_{0}, nextRowLine_{0};
    std::barrier<>* phases_ = nullptr;  // between the column lines, the row lines and the tiles
    SharedLines shared_;
    // The line pixels to anti-alias after the tiles (see SharedLines): those the line preparation
    // traced between block corners, and the cell corners the tiles mark.
    std::vector<std::vector<uint8_t>> columnMarks_, rowMarks_;
    std::vector<uint8_t*> columnMarkLines_, rowMarkLines_;

    uint32_t& P(int y, int x) { return fb_.at(y, x); }
    void countTile(int slot) {
        if constexpr (requires { sampler_.countTile(slot); }) sampler_.countTile(slot);
    }
    uint32_t trace(int slot, int y, int x) {
        return P(y, x) = sampler_(slot, static_cast<float>(y), static_cast<float>(x));
    }

    static void fullWorker(int k, void* context) {
        auto& pass = *static_cast<FramePass*>(context);
        pass.sampler_.enter(k);
        const int w = pass.fb_.width, h = pass.fb_.height, tiles = fullPassTileCount(w, h);
        int columns[kTileSize];
        for (int i; (i = pass.nextTile_.fetch_add(1, std::memory_order_relaxed)) < tiles;) {
            const PixelRange r = fullPassTile(i, w, h);
            pass.countTile(k);
            if constexpr (TracesRows<Sampler>) {
                const int n = r.columnEnd - r.columnBegin;
                for (int c = 0; c < n; ++c) columns[c] = r.columnBegin + c;
                for (int y = r.rowBegin; y < r.rowEnd; ++y) pass.sampler_.traceRow(k, y, columns, n, &pass.P(y, 0));
            } else {
                for (int y = r.rowBegin; y < r.rowEnd; ++y)
                    for (int x = r.columnBegin; x < r.columnEnd; ++x) pass.trace(k, y, x);
            }
        }
    }

    // The lines between tiles, column lines first (independent of each other), then row lines (which
    // reuse the corners the column lines traced), then the tiles; workers take each in turn.
    static void blockWorker(int k, void* context) {
        auto& pass = *static_cast<FramePass*>(context);
        pass.sampler_.enter(k);
        BlockPass<Sampler> fills(pass.fb_, pass.sampler_, pass.params_.refine, k, SharedLines{});
        const int columns = static_cast<int>(pass.columnMarks_.size()), rows = static_cast<int>(pass.rowMarks_.size());
        for (int c; (c = pass.nextColumnLine_.fetch_add(1, std::memory_order_relaxed)) < columns;)
            pass.prepareSharedColumn(fills, k, (c + 1) * kTileSize, pass.columnMarks_[static_cast<size_t>(c)]);
        pass.phases_->arrive_and_wait();
        for (int r; (r = pass.nextRowLine_.fetch_add(1, std::memory_order_relaxed)) < rows;)
            pass.prepareSharedRow(fills, k, (r + 1) * kTileSize, pass.rowMarks_[static_cast<size_t>(r)]);
        pass.phases_->arrive_and_wait();

        pass.sampler_.enter(k);
        const int gw = pass.fb_.width & ~3, gh = pass.fb_.height & ~3, tiles = blockTileCount(gw, gh);
        BlockPass<Sampler> blocks(pass.fb_, pass.sampler_, pass.params_.refine, k, pass.shared_);
        for (int i; (i = pass.nextTile_.fetch_add(1, std::memory_order_relaxed)) < tiles;) {
            const PixelRange r = blockTile(i, gw, gh);
            pass.countTile(k);
            blocks.refineBlocks(r.columnBegin, r.rowBegin, r.columnEnd, r.rowEnd);
        }
    }

    // What the lines and tiles need before they start, traced on the calling thread with slot 0: row 0
    // and column 0 every 4 pixels with fills between, and the margin right of and above the 4-pixel
    // grid when the size is not a multiple of 4. Sets out the lines between the tiles.
    void prepareSubsampling() {
        const int w = fb_.width, h = fb_.height;
        const int gridWidth = w & ~3, gridHeight = h & ~3;
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

        shared_ = SharedLines{gridWidth, gridHeight};
        columnMarks_.assign(static_cast<size_t>(std::max(0, (gridWidth - 1) / kTileSize)),
                            std::vector<uint8_t>(static_cast<size_t>(h + 1), 0));
        rowMarks_.assign(static_cast<size_t>(std::max(0, (gridHeight - 1) / kTileSize)),
                         std::vector<uint8_t>(static_cast<size_t>(w + 1), 0));
        columnMarkLines_.clear();
        rowMarkLines_.clear();
        for (auto& line : columnMarks_) columnMarkLines_.push_back(line.data());
        for (auto& line : rowMarks_) rowMarkLines_.push_back(line.data());
        shared_.columnMarks = columnMarkLines_.data();
        shared_.rowMarks = rowMarkLines_.data();
        nextColumnLine_.store(0, std::memory_order_relaxed);
        nextRowLine_.store(0, std::memory_order_relaxed);
        traceMargins();
    }

    // With anti-aliasing, the marked pixels of the shared lines, once the tiles are done, in a fixed
    // order on the calling thread (column lines bottom to top, then row lines left to right): the
    // same picture on every thread count and tile order.
    void antiAliasLines() {
        sampler_.enter(0);
        BlockPass<Sampler> blocks(fb_, sampler_, params_.refine, 0, shared_);
        for (size_t c = 0; c < columnMarks_.size(); ++c)
            for (size_t y = 0; y < columnMarks_[c].size(); ++y)
                if (columnMarks_[c][y]) blocks.antiAliasPixel(static_cast<int>(c + 1) * kTileSize, static_cast<int>(y));
        for (size_t r = 0; r < rowMarks_.size(); ++r)
            for (size_t x = 0; x < rowMarks_[r].size(); ++x)
                if (rowMarks_[r][x]) blocks.antiAliasPixel(static_cast<int>(x), static_cast<int>(r + 1) * kTileSize);
    }

    // Column d complete before the tiles, with exactly the values the block pass would give it:
    // the block test needs the corners one block to the left, which are traced here as well.
    void prepareSharedColumn(BlockPass<Sampler>& blocks, int k, int d, std::vector<uint8_t>& traced) {
        const int* t = params_.refine.threshold;
        for (int y = 4; y <= fb_.height; y += 4) {
            trace(k, y, d);
            if (d - 4 > 0) trace(k, y, d - 4);
            if (blockDifference(P(y, d), P(y - 4, d - 4), P(y, d - 4), P(y - 4, d)) <= t[0]) {
                P(y - 1, d) = P(y - 2, d) = P(y - 3, d) = P(y, d);
            } else if (maxChannelDifference(P(y, d), P(y - 4, d)) > t[1]) {
                trace(k, y - 2, d);
                for (int yy = y - 2; yy <= y; yy += 2) {
                    if (maxChannelDifference(P(yy, d), P(yy - 2, d)) > t[2]) {
                        trace(k, yy - 1, d);
                        traced[static_cast<size_t>(yy - 1)] = 1;
                    } else {
                        P(yy - 1, d) = average2(P(yy - 2, d), P(yy, d));
                    }
                }
            } else {
                blocks.fillColumn(y, d);
            }
        }
    }

    // Row e likewise; corners that prepareSharedColumn has traced already are reused.
    void prepareSharedRow(BlockPass<Sampler>& blocks, int k, int e, std::vector<uint8_t>& traced) {
        const int* t = params_.refine.threshold;
        for (int x = 4; x <= fb_.width; x += 4) {
            const bool onColumnWork = shared_.isColumn(x) || shared_.isColumn(x + 4);
            if (!onColumnWork) {
                trace(k, e, x);
                if (e - 4 > 0) trace(k, e - 4, x);
            }
            if (blockDifference(P(e, x), P(e - 4, x - 4), P(e, x - 4), P(e - 4, x)) <= t[0]) {
                P(e, x - 1) = P(e, x - 2) = P(e, x - 3) = P(e, x);
            } else if (maxChannelDifference(P(e, x), P(e, x - 4)) > t[1]) {
                trace(k, e, x - 2);
                for (int xx = x - 2; xx <= x; xx += 2) {
                    if (maxChannelDifference(P(e, xx), P(e, xx - 2)) > t[2]) {
                        trace(k, e, xx - 1);
                        traced[static_cast<size_t>(xx - 1)] = 1;
                    } else {
                        P(e, xx - 1) = average2(P(e, xx - 2), P(e, xx));
                    }
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
