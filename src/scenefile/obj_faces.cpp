#include "scenefile/obj_faces.h"

#include <cmath>

namespace lumo {

std::vector<std::array<int, 3>> triangulatePolygon(const std::vector<Vec3>& c) {
    const int n = static_cast<int>(c.size());
    std::vector<std::array<int, 3>> out;
    if (n < 3) return out;
    if (n == 3) return {{0, 1, 2}};
    // Newell's normal; the polygon is projected onto the plane of its largest component.
    double nx = 0, ny = 0, nz = 0;
    for (int i = 0; i < n; ++i) {
        const Vec3 &a = c[static_cast<size_t>(i)], &b = c[static_cast<size_t>((i + 1) % n)];
        nx += (double(a.y) - b.y) * (double(a.z) + b.z);
        ny += (double(a.z) - b.z) * (double(a.x) + b.x);
        nz += (double(a.x) - b.x) * (double(a.y) + b.y);
    }
    const int drop = std::fabs(nx) >= std::fabs(ny) && std::fabs(nx) >= std::fabs(nz) ? 0
                     : std::fabs(ny) >= std::fabs(nz)                                  ? 1
                                                                                       : 2;
    std::vector<double> u(static_cast<size_t>(n)), v(static_cast<size_t>(n));
    double area2 = 0.0;
    for (size_t i = 0; i < u.size(); ++i) {
        const Vec3& p = c[i];
        u[i] = drop == 0 ? p.y : drop == 1 ? p.z : p.x;
        v[i] = drop == 0 ? p.z : drop == 1 ? p.x : p.y;
    }
    for (size_t i = 0; i < u.size(); ++i) {
        const size_t j = (i + 1) % u.size();
        area2 += u[i] * v[j] - u[j] * v[i];
    }
    std::vector<int> prev(static_cast<size_t>(n)), next(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        prev[static_cast<size_t>(i)] = (i + n - 1) % n;
        next[static_cast<size_t>(i)] = (i + 1) % n;
    }
    auto fan = [&](int from, int count) {
        for (int k = 0, a = next[static_cast<size_t>(from)]; k < count - 2; ++k, a = next[static_cast<size_t>(a)])
            out.push_back({from, a, next[static_cast<size_t>(a)]});
    };
    if (!std::isfinite(area2) || area2 == 0.0) {
        fan(0, n);
        return out;
    }
    const double sign = area2 > 0 ? 1.0 : -1.0;
    // Positive when a, b, c turn the polygon's way (b is a convex corner).
    auto turn = [&](int a, int b, int d) {
        const size_t i = static_cast<size_t>(a), j = static_cast<size_t>(b), k = static_cast<size_t>(d);
        return sign * ((u[j] - u[i]) * (v[k] - v[i]) - (v[j] - v[i]) * (u[k] - u[i]));
    };
    std::vector<int> reflex;
    for (int i = 0; i < n; ++i)
        if (turn(prev[static_cast<size_t>(i)], i, next[static_cast<size_t>(i)]) < 0) reflex.push_back(i);
    if (n == 4 && reflex.empty()) {
        // A convex quad: the shorter diagonal, in single precision.
        auto sq = [&](int a, int b) {
            const Vec3 &p = c[static_cast<size_t>(a)], &q = c[static_cast<size_t>(b)];
            const float dx = q.x - p.x, dy = q.y - p.y, dz = q.z - p.z;
            return dx * dx + dy * dy + dz * dz;
        };
        if (sq(0, 2) < sq(1, 3)) return {{0, 1, 2}, {0, 2, 3}};
        return {{0, 1, 3}, {1, 2, 3}};
    }
    std::vector<char> removed(static_cast<size_t>(n), 0);
    int remaining = n, cur = 0, misses = 0;
    while (remaining > 3) {
        const int p = prev[static_cast<size_t>(cur)], q = next[static_cast<size_t>(cur)];
        bool ear = turn(p, cur, q) >= 0;
        // An ear holds no other corner, inside or on its edges; only reflex corners can lie inside.
        for (size_t k = 0; ear && k < reflex.size(); ++k) {
            const int r = reflex[k];
            if (removed[static_cast<size_t>(r)] || r == p || r == cur || r == q) continue;
            ear = !(turn(p, cur, r) >= 0 && turn(cur, q, r) >= 0 && turn(q, p, r) >= 0);
        }
        if (ear) {
            out.push_back({p, cur, q});
            removed[static_cast<size_t>(cur)] = 1;
            next[static_cast<size_t>(p)] = q;
            prev[static_cast<size_t>(q)] = p;
            --remaining;
            cur = q;
            misses = 0;
        } else if (++misses > remaining) {
            break;  // no ear left: a self-crossing polygon; the rest becomes a fan
        } else {
            cur = q;
        }
    }
    fan(cur, remaining);
    return out;
}

}  // namespace lumo
