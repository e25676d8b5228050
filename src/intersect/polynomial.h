// Real roots of cubic and quartic polynomials in double precision, for the torus.
#pragma once

namespace lumo {

// Coefficients leading first (c3, c2, c1, c0). Writes one or three real roots and returns their count;
// 0 when the leading coefficient is 0.
int solveCubic(const double coefficients[4], double roots[3]);

// Coefficients leading first (c4 .. c0), Ferrari's method. Writes up to four real roots, unsorted, and
// returns their count.
int solveQuartic(const double coefficients[5], double roots[4]);

}  // namespace lumo
