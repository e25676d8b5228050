#include "intersect/polynomial.h"

#include <cmath>

namespace lumo {

int solveCubic(const double coefficients[4], double roots[3]) {
    const double lead = coefficients[0];
    if (lead == 0.0) return 0;
    double a = coefficients[1], b = coefficients[2], c = coefficients[3];
    if (lead != 1.0) {
        a /= lead;
        b /= lead;
        c /= lead;
    }
    const double q = (a * a - 3.0 * b) / 9.0;
    const double r = (a * (a * a - 4.5 * b) + 13.5 * c) / 27.0;
    const double q3 = q * q * q;
    const double shift = a / 3.0;
    if (q3 - r * r >= 0.0) {
        if (q3 == 0.0) {  // triple root: the angle below would be 0/0
            roots[0] = roots[1] = roots[2] = -shift;
            return 3;
        }
        // Rounding can put the cosine a hair outside [-1, 1].
        double cosine = r / std::sqrt(q3);
        cosine = cosine > 1.0 ? 1.0 : (cosine < -1.0 ? -1.0 : cosine);
        const double theta = std::acos(cosine);
        const double m = -2.0 * std::sqrt(q);
        roots[0] = m * std::cos(theta / 3.0) - shift;
        roots[1] = m * std::cos(theta / 3.0 + 2.0943951023931957) - shift;
        roots[2] = m * std::cos(theta / 3.0 + 4.188790204786391) - shift;
        return 3;
    }
    const double s = std::pow(std::sqrt(r * r - q3) + std::fabs(r), 1.0 / 3.0);
    const double t = s + q / s;
    roots[0] = r >= 0.0 ? -t - shift : t - shift;
    return 1;
}

int solveQuartic(const double coefficients[5], double roots[4]) {
    const double lead = coefficients[0];
    if (lead == 0.0) return 0;
    double a = coefficients[1], b = coefficients[2], c = coefficients[3], d = coefficients[4];
    if (lead != 1.0) {
        a /= lead;
        b /= lead;
        c /= lead;
        d /= lead;
    }
    // Depressed quartic y^4 + p y^2 + q y + r with x = y - a/4.
    const double a2 = a * a;
    const double p = b - 0.375 * a2;
    const double q = c + 0.125 * a2 * a - 0.5 * a * b;
    const double r = d - 0.01171875 * a2 * a2 + 0.0625 * a2 * b - 0.25 * a * c;

    // Resolvent cubic; its first root z factors the quartic as
    // (y^2 + u y + (z - v)) (y^2 - u y + (z + v)) with u^2 = 2z - p and v^2 = z^2 - r.
    const double resolvent[4] = {1.0, -0.5 * p, -r, 0.5 * p * r - 0.125 * q * q};
    double cubicRoots[3];
    if (solveCubic(resolvent, cubicRoots) == 0) return 0;
    const double z = cubicRoots[0];

    double w = 2.0 * z - p;
    if (w < 0.0) {
        if (w > -1e-10) w = 0.0;
        else return 0;
    }
    double u, v;
    if (w >= 1e-10) {
        u = std::sqrt(w);
        v = q / (2.0 * u);
    } else {
        u = w;
        const double v2 = z * z - r;
        if (v2 < 0.0) return 0;
        v = std::sqrt(v2);
    }

    const double sigma = -0.25 * a;
    int count = 0;
    const double d1 = u * u - 4.0 * (z - v);
    if (d1 > 0.0) {
        const double s = std::sqrt(d1);
        roots[count++] = sigma - (u + s) / 2.0;
        roots[count++] = sigma - (u - s) / 2.0;
    } else if (d1 == 0.0) {
        roots[count++] = sigma - u / 2.0;
    }
    const double d2 = u * u - 4.0 * (z + v);
    if (d2 > 0.0) {
        const double s = std::sqrt(d2);
        roots[count++] = sigma + (u + s) / 2.0;
        roots[count++] = sigma + (u - s) / 2.0;
    } else if (d2 == 0.0) {
        roots[count++] = sigma + u / 2.0;
    }
    return count;
}

}  // namespace lumo
