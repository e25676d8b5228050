// Adaptive 4x4 block refinement and anti-aliasing over one rectangle of the frame buffer.
//
// A Sampler is any type with `uint32_t operator()(int slot, float row, float column)` returning a
// packed pixel; the renderer passes one that traces camera rays, tests pass synthetic pictures.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/frame_buffer.h"
#include "image/packed_pixel.h"

namespace lumo {

// Thresholds T0..T4 (every comparison is difference > threshold) and the anti-aliasing level.
struct RefineSettings {
    int threshold[5] = {5, 24, 32, 48, 64};
    int antiAliasing = 0;  // 0 none, 1 up to 2x2, 2 up to 4x4
};

// Cell flags handed from the block level to the cell level.
enum CellFlags : int {
    kRowEdgeFilled = 1,     // the cell's edge along its own row is already filled
    kColumnEdgeFilled = 2,  // the cell's edge along its own column is already filled
};

// Samplers that also trace several samples of a row at once (in packets):
// `void traceRow(int slot, int y, const int* columns, int count, uint32_t* rowPixels)` sets
// rowPixels[columns[i]] for i < count to what operator() gives for (y, columns[i]).
template <class Sampler>
concept TracesRows = requires(Sampler& s, const int* c, uint32_t* p) { s.traceRow(0, 0, c, 0, p); };

// Tiles of the picture are squares of this many pixels (a multiple of 4, a power of two) on the block grid.
inline constexpr int kTileSize = 64;

// The lines between tiles: every kTileSize pixels, up to but not including the end of the block grid.
// They are complete before the tiles are refined; the tiles on both sides only read them.
struct SharedLines {
    int columnEnd = 0;  // columns kTileSize, 2 kTileSize, ... below columnEnd are lines; 0: none
    int rowEnd = 0;     // rows likewise
    // With anti-aliasing, the line pixels to smooth once the tiles are done: column line c (at
    // (c + 1) kTileSize) in columnMarks[c][y], row line r in rowMarks[r][x]. Each pixel is marked by
    // the one tile whose cell has it as a corner.
    uint8_t* const* columnMarks = nullptr;
    uint8_t* const* rowMarks = nullptr;

    bool isColumn(int x) const { return x > 0 && x < columnEnd && (x & (kTileSize - 1)) == 0; }
    bool isRow(int y) const { return y > 0 && y < rowEnd && (y & (kTileSize - 1)) == 0; }
    void markForAntiAliasing(int y, int x) const {
        if (isColumn(x))
            columnMarks[x / kTileSize - 1][y] = 1;
        else
            rowMarks[y / kTileSize - 1][x] = 1;
    }
};
static_assert(kTileSize % 4 == 0 && (kTileSize & (kTileSize - 1)) == 0);

template <class Sampler>
struct BlockPass {
    BlockPass(FrameBuffer& fb, Sampler& s, const RefineSettings& r, int k, SharedLines lines)
        : pixels(fb.pixels.data()), stride(fb.width + 1), sample(s), settings(r), slot(k), shared(lines) {}

    // The stride is wider than int so that pixel stores cannot alias it: row offsets stay in registers.
    uint32_t* const pixels;
    const std::ptrdiff_t stride;
    Sampler& sample;
    const RefineSettings& settings;
    const int slot;
    const SharedLines shared;

    uint32_t& P(int y, int x) { return pixels[y * stride + x]; }
    uint32_t trace(float y, float x) { return sample(slot, y, x); }

    bool onSharedLine(int y, int x) const { return shared.isColumn(x) || shared.isRow(y); }

    // Block corners already traced before the workers: those on the shared lines and those one
    // block before them (which the shared lines' own refinement needed).
    bool cornerPretraced(int y, int x) const {
        return shared.isColumn(x) || shared.isColumn(x + 4) || shared.isRow(y) || shared.isRow(y + 4);
    }

    // Row y between the traced points (y, x-4) and (y, x).
    void fillRow(int y, int x) {
        P(y, x - 2) = average2(P(y, x - 4), P(y, x));
        P(y, x - 1) = average2(P(y, x - 2), P(y, x));
        P(y, x - 3) = average2(P(y, x - 4), P(y, x - 2));
    }
    // Column x between the traced points (y-4, x) and (y, x).
    void fillColumn(int y, int x) {
        P(y - 2, x) = average2(P(y - 4, x), P(y, x));
        P(y - 1, x) = average2(P(y - 2, x), P(y, x));
        P(y - 3, x) = average2(P(y - 4, x), P(y - 2, x));
    }

    // Blocks whose far corner (y, x) lies in the rectangle, bottom row first, each row left to right.
    // Row y0 and column x0 must be complete. A sampler that traces rows gets each row's block corners
    // at once, before the row's blocks (which neither read nor write a corner right of their own).
    void refineBlocks(int x0, int y0, int x1, int y1) {
        int columns[kTileSize / 4];
        for (int y = y0 + 4; y <= y1; y += 4) {
            cornersTraced = false;
            if constexpr (TracesRows<Sampler>) {
                if (x1 - x0 <= kTileSize) {  // wider ranges go corner by corner
                    int n = 0;
                    for (int x = x0 + 4; x <= x1; x += 4)
                        if (!cornerPretraced(y, x)) columns[n++] = x;
                    sample.traceRow(slot, y, columns, n, &P(y, 0));
                    cornersTraced = true;
                }
            }
            for (int x = x0 + 4; x <= x1; x += 4) refineBlock(x, y);
        }
    }

    bool cornersTraced = false;  // refineBlocks traced the current row's corners

    void refineBlock(int x, int y) {
        const int* t = settings.threshold;
        if (!cornersTraced && !cornerPretraced(y, x)) P(y, x) = trace(static_cast<float>(y), static_cast<float>(x));
        if (blockDifference(P(y, x), P(y - 4, x - 4), P(y, x - 4), P(y - 4, x)) <= t[0]) {
            const uint32_t c = P(y, x);
            const int lastRow = shared.isRow(y) ? y - 1 : y;
            const int lastColumn = shared.isColumn(x) ? x - 1 : x;
            for (int yy = y - 3; yy <= lastRow; ++yy)
                for (int xx = x - 3; xx <= lastColumn; ++xx) P(yy, xx) = c;
            return;
        }
        int flagsA = 0, flagsB = 0, flagsC = 0, flagsD = 0;

        if (shared.isRow(y)) {
            flagsC |= kRowEdgeFilled;
            flagsD |= kRowEdgeFilled;
        } else if (maxChannelDifference(P(y, x), P(y, x - 4)) > t[1]) {
            P(y, x - 2) = trace(static_cast<float>(y), static_cast<float>(x - 2));
        } else {
            fillRow(y, x);
            flagsC |= kRowEdgeFilled;
            flagsD |= kRowEdgeFilled;
        }

        if (shared.isColumn(x)) {
            flagsB |= kColumnEdgeFilled;
            flagsD |= kColumnEdgeFilled;
        } else if (maxChannelDifference(P(y, x), P(y - 4, x)) > t[1]) {
            P(y - 2, x) = trace(static_cast<float>(y - 2), static_cast<float>(x));
        } else {
            fillColumn(y, x);
            flagsB |= kColumnEdgeFilled;
            flagsD |= kColumnEdgeFilled;
        }

        const bool across = maxChannelDifference(P(y - 2, x), P(y - 2, x - 4)) > t[1];
        const bool along = maxChannelDifference(P(y, x - 2), P(y - 4, x - 2)) > t[1];
        if (across && along) {
            P(y - 2, x - 2) = trace(static_cast<float>(y - 2), static_cast<float>(x - 2));
        } else if (across) {
            fillColumn(y, x - 2);
            flagsA |= kColumnEdgeFilled;
            flagsC |= kColumnEdgeFilled;
        } else if (along) {
            fillRow(y - 2, x);
            flagsA |= kRowEdgeFilled;
            flagsB |= kRowEdgeFilled;
        } else {
            P(y - 2, x - 2) = average4(P(y - 2, x), P(y - 2, x - 4), P(y, x - 2), P(y - 4, x - 2));
            P(y - 2, x - 1) = average2(P(y - 2, x - 2), P(y - 2, x));
            P(y - 2, x - 3) = average2(P(y - 2, x - 4), P(y - 2, x - 2));
            P(y - 3, x - 2) = average2(P(y - 4, x - 2), P(y - 2, x - 2));
            P(y - 1, x - 2) = average2(P(y - 2, x - 2), P(y, x - 2));
            flagsA |= kRowEdgeFilled | kColumnEdgeFilled;
            flagsB |= kRowEdgeFilled;
            flagsC |= kColumnEdgeFilled;
        }

        refineCell(x - 2, y - 2, flagsA);
        refineCell(x, y - 2, flagsB);
        refineCell(x - 2, y, flagsC);
        refineCell(x, y, flagsD);
    }

    // The 2x2 cell with far corner (y, x).
    void refineCell(int x, int y, int flags) {
        const int t2 = settings.threshold[2];
        bool rowTraced = false, columnTraced = false, centreTraced = false;
        if (!(flags & kRowEdgeFilled)) {
            if (maxChannelDifference(P(y, x), P(y, x - 2)) > t2) {
                P(y, x - 1) = trace(static_cast<float>(y), static_cast<float>(x - 1));
                rowTraced = true;
            } else {
                P(y, x - 1) = average2(P(y, x - 2), P(y, x));
            }
        }
        if (!(flags & kColumnEdgeFilled)) {
            if (maxChannelDifference(P(y, x), P(y - 2, x)) > t2) {
                P(y - 1, x) = trace(static_cast<float>(y - 1), static_cast<float>(x));
                columnTraced = true;
            } else {
                P(y - 1, x) = average2(P(y - 2, x), P(y, x));
            }
        }
        const int across = maxChannelDifference(P(y - 1, x), P(y - 1, x - 2));
        const int along = maxChannelDifference(P(y, x - 1), P(y - 2, x - 1));
        if ((across > along ? across : along) > t2) {
            P(y - 1, x - 1) = trace(static_cast<float>(y - 1), static_cast<float>(x - 1));
            centreTraced = true;
        } else {
            P(y - 1, x - 1) = average4(P(y - 1, x), P(y - 1, x - 2), P(y, x - 1), P(y - 2, x - 1));
        }
        if (settings.antiAliasing != 0) {
            // Pixels on a shared line belong to both neighbours: the pass smooths them after the tiles.
            if (!onSharedLine(y, x))
                antiAliasPixel(x, y);
            else
                shared.markForAntiAliasing(y, x);
            if (rowTraced) antiAliasPixel(x - 1, y);
            if (columnTraced) antiAliasPixel(x, y - 1);
            if (centreTraced) antiAliasPixel(x - 1, y - 1);
        }
    }

    void antiAliasPixel(int x, int y) {
        const int t3 = settings.threshold[3];
        const float fy = static_cast<float>(y), fx = static_cast<float>(x);
        const uint32_t c = P(y, x);
        const uint32_t left = P(y, x - 1), below = P(y - 1, x), diagonal = P(y - 1, x - 1);
        uint32_t q = c, r = c, s = c;
        const bool qTraced = maxChannelDifference(c, left) > t3;
        if (qTraced) q = trace(fy, fx - 0.5f);
        const bool rTraced = maxChannelDifference(c, below) > t3;
        if (rTraced) r = trace(fy - 0.5f, fx);
        const int dq = maxChannelDifference(q, below), dr = maxChannelDifference(r, left);
        const bool sTraced = (dq > dr ? dq : dr) > t3;
        if (sTraced) s = trace(fy - 0.5f, fx - 0.5f);
        if (settings.antiAliasing == 1) {
            P(y, x) = average4(c, s, q, r);
            return;
        }
        const uint32_t g = antiAliasQuarter(fx, fy, c, s, q, r);
        uint32_t q2 = q, r2 = r, s2 = s;
        if (qTraced) q2 = antiAliasQuarter(fx - 0.5f, fy, q, average2(left, diagonal), left, s);
        if (rTraced) r2 = antiAliasQuarter(fx, fy - 0.5f, r, average2(below, diagonal), s, below);
        if (sTraced)
            s2 = antiAliasQuarter(fx - 0.5f, fy - 0.5f, s, diagonal, average2(left, diagonal),
                                  average2(below, diagonal));
        P(y, x) = average4(g, s2, q2, r2);
    }

    uint32_t antiAliasQuarter(float x, float y, uint32_t centre, uint32_t diagonal, uint32_t left,
                              uint32_t below) {
        const int t4 = settings.threshold[4];
        const uint32_t l = maxChannelDifference(centre, left) > t4 ? trace(y, x - 0.25f) : average2(centre, left);
        const uint32_t b = maxChannelDifference(centre, below) > t4 ? trace(y - 0.25f, x) : average2(centre, below);
        const uint32_t d =
            maxChannelDifference(centre, diagonal) > t4 ? trace(y - 0.25f, x - 0.25f) : average2(centre, diagonal);
        return average4(centre, d, l, b);
    }
};

}  // namespace lumo
