// areaShadowsByLevel: areaShadow's subdivision for several points at once, a level at a time.
#pragma once

#include <cmath>

namespace lumo {

namespace detail {

// No initialisers: the arrays below are filled as the levels grow, not cleared on every call.
struct AreaSquare {
    int lane;
    float uLow, vLow, s;
    float o[4];       // occlusion at the corners, in areaShadow's order
    float m[5];       // mA .. mE
    int sample[5];    // index of the ray cast for m[i], -1: averaged
    float value;

    void start(int k, float u, float v, float size, float o0, float o1, float o2, float o3) {
        lane = k, uLow = u, vLow = v, s = size;
        o[0] = o0, o[1] = o1, o[2] = o2, o[3] = o3;
        for (int& i : sample) i = -1;
    }
};

// The squares of all levels: 1, 4 and 16 per lane; the children of square i of a level are
// consecutive, four each.
inline constexpr int kAreaSquares = kMaxAreaLanes * 21;
inline constexpr int kAreaSamples = kMaxAreaLanes * 64;

}  // namespace detail

// All four corners blocked, or all free: areaShadow casts no ray and every average it takes is that
// value exactly, so it returns it. Else -1.
inline float uniformCorners(const float* o) {
    return o[0] == o[1] && o[0] == o[2] && o[0] == o[3] && (o[0] == 0.0f || o[0] == 1.0f) ? o[0] : -1.0f;
}

template <class Cast>
void areaShadowsByLevel(unsigned lanes, const float (*corners)[4], float* blocked, Cast&& cast) {
    using detail::AreaSquare;
    AreaSquare squares[detail::kAreaSquares];
    AreaSample samples[detail::kAreaSamples];
    int begin = 0, end = 0;
    for (int k = 0; k < kMaxAreaLanes; ++k) {
        if (!(lanes & (1u << k))) continue;
        if (const float uniform = uniformCorners(corners[k]); uniform >= 0.0f) {
            blocked[k] = uniform;
            continue;
        }
        squares[end++].start(k, 0.0f, 0.0f, 1.0f, corners[k][0], corners[k][1], corners[k][2], corners[k][3]);
    }
    const int firstLevelEnd = end;
    int levelBegin[3] = {0, 0, 0}, levelEnd[3] = {0, 0, 0};
    for (int depth = 0; depth <= 2; ++depth) {
        levelBegin[depth] = begin, levelEnd[depth] = end;
        // The edge midpoints where the corners disagree.
        int n = 0;
        const auto ask = [&](AreaSquare& sq, int i, float u, float v) {
            sq.sample[i] = n;
            samples[n++] = {sq.lane, u, v, 0.0f};
        };
        for (int i = begin; i < end; ++i) {
            AreaSquare& sq = squares[i];
            const float h = sq.s * 0.5f;
            const float* o = sq.o;
            if (std::fabs(o[1] - o[0]) > 0.1f) ask(sq, 0, sq.uLow + h, sq.vLow);
            if (std::fabs(o[2] - o[3]) > 0.1f) ask(sq, 1, sq.uLow + h, sq.vLow + sq.s);
            if (std::fabs(o[2] - o[1]) > 0.1f) ask(sq, 2, sq.uLow + sq.s, sq.vLow + h);
            if (std::fabs(o[3] - o[0]) > 0.1f) ask(sq, 3, sq.uLow, sq.vLow + h);
        }
        if (n) cast(samples, n);
        for (int i = begin; i < end; ++i) {
            AreaSquare& sq = squares[i];
            const float* o = sq.o;
            const float averaged[4] = {(o[0] + o[1]) * 0.5f, (o[2] + o[3]) * 0.5f, (o[1] + o[2]) * 0.5f,
                                       (o[0] + o[3]) * 0.5f};
            for (int j = 0; j < 4; ++j) sq.m[j] = sq.sample[j] >= 0 ? samples[sq.sample[j]].occlusion : averaged[j];
        }
        // The centres where the midpoints disagree.
        n = 0;
        for (int i = begin; i < end; ++i) {
            AreaSquare& sq = squares[i];
            const float h = sq.s * 0.5f;
            if (std::fabs(sq.m[0] - sq.m[1]) > 0.1f || std::fabs(sq.m[2] - sq.m[3]) > 0.1f)
                ask(sq, 4, sq.uLow + h, sq.vLow + h);
        }
        if (n) cast(samples, n);
        for (int i = begin; i < end; ++i) {
            AreaSquare& sq = squares[i];
            const float* m = sq.m;
            sq.m[4] = sq.sample[4] >= 0 ? samples[sq.sample[4]].occlusion : (m[0] + m[1] + m[2] + m[3]) * 0.25f;
        }
        if (depth == 2) break;
        // Four children each: (uLow, vLow), (+h, 0), (+h, +h), (0, +h), corners as areaShadow passes them.
        const int next = end;
        for (int i = begin; i < end; ++i) {
            const AreaSquare& sq = squares[i];
            const float h = sq.s * 0.5f;
            const float* o = sq.o;
            const float* m = sq.m;
            const float child[4][6] = {{sq.uLow, sq.vLow, o[0], m[0], m[4], m[3]},
                                       {sq.uLow + h, sq.vLow, m[0], o[1], m[2], m[4]},
                                       {sq.uLow + h, sq.vLow + h, m[4], m[2], o[2], m[1]},
                                       {sq.uLow, sq.vLow + h, m[3], m[4], m[1], o[3]}};
            for (int j = 0; j < 4; ++j) {
                const float* c = child[j];
                squares[next + (i - begin) * 4 + j].start(sq.lane, c[0], c[1], h, c[2], c[3], c[4], c[5]);
            }
        }
        begin = next;
        end = next + (end - levelBegin[depth]) * 4;
    }
    // Bottom up: the deepest squares average their nine values, the others their children.
    for (int i = levelBegin[2]; i < levelEnd[2]; ++i) {
        AreaSquare& sq = squares[i];
        const float* o = sq.o;
        const float* m = sq.m;
        sq.value = (o[0] + o[1] + o[2] + o[3] + m[0] + m[1] + m[2] + m[3] + m[4]) / 9.0f;
    }
    for (int depth = 1; depth >= 0; --depth)
        for (int i = levelBegin[depth]; i < levelEnd[depth]; ++i) {
            const AreaSquare* c = &squares[levelEnd[depth] + (i - levelBegin[depth]) * 4];
            squares[i].value = (c[0].value + c[1].value + c[2].value + c[3].value) * 0.25f;
        }
    for (int i = 0; i < firstLevelEnd; ++i) blocked[squares[i].lane] = squares[i].value;
}

}  // namespace lumo
