#include "core/matrix34.h"

#include <cmath>
#include <utility>

namespace lumo {

void setIdentity(Matrix34& m) {
    for (float& v : m.m) v = 0.0f;
    m.m[0] = m.m[4] = m.m[8] = 1.0f;
}

void scaleBy(Matrix34& m, float a, float b, float c) {
    // Scales the translation row too: M <- M * diag(a, b, c).
    for (int row = 0; row < 4; ++row) {
        m.m[3 * row] *= a;
        m.m[3 * row + 1] *= b;
        m.m[3 * row + 2] *= c;
    }
}

namespace {

struct SinCos {
    double s, c;
};

// Sine and cosine are stored as float32 before they multiply the matrix.
SinCos sinCos(float angle) {
    const double a = angle;
    return {static_cast<float>(std::sin(a)), static_cast<float>(std::cos(a))};
}

}  // namespace

void rotateX(Matrix34& m, float angle) {
    const SinCos r = sinCos(angle);
    for (int row = 0; row < 4; ++row) {
        const double y = m.m[3 * row + 1], z = m.m[3 * row + 2];
        m.m[3 * row + 1] = static_cast<float>(y * r.c + z * r.s);
        m.m[3 * row + 2] = static_cast<float>(z * r.c - y * r.s);
    }
}

void rotateY(Matrix34& m, float angle) {
    const SinCos r = sinCos(angle);
    for (int row = 0; row < 4; ++row) {
        const double x = m.m[3 * row], z = m.m[3 * row + 2];
        m.m[3 * row] = static_cast<float>(x * r.c - z * r.s);
        m.m[3 * row + 2] = static_cast<float>(x * r.s + z * r.c);
    }
}

void rotateZ(Matrix34& m, float angle) {
    const SinCos r = sinCos(angle);
    for (int row = 0; row < 4; ++row) {
        const double x = m.m[3 * row], y = m.m[3 * row + 1];
        m.m[3 * row] = static_cast<float>(x * r.c - y * r.s);
        m.m[3 * row + 1] = static_cast<float>(x * r.s + y * r.c);
    }
}

void translateBy(Matrix34& m, float a, float b, float c) {
    m.m[9] += a;
    m.m[10] += b;
    m.m[11] += c;
}

Matrix34 multiply(const Matrix34& a, const Matrix34& b) {
    Matrix34 c;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 3; ++j) {
            double sum = i == 3 ? static_cast<double>(b.m[9 + j]) : 0.0;
            for (int k = 0; k < 3; ++k) sum += static_cast<double>(a.m[3 * i + k]) * b.m[3 * k + j];
            c.m[3 * i + j] = static_cast<float>(sum);
        }
    }
    return c;
}

namespace {

// Gauss-Jordan elimination of a 4x4 matrix beside the identity; the right half becomes the inverse.
// The pivot is the largest entry of the column (strictly greater replaces, starting at the diagonal),
// and each pivot row is scaled by the float32-rounded reciprocal of its pivot.
void invert4x4(float a[4][8]) {
    for (int q = 0; q < 4; ++q) {
        if (q < 3) {
            int best = q;
            for (int r = q + 1; r < 4; ++r)
                if (std::fabs(a[r][q]) > std::fabs(a[best][q])) best = r;
            if (best != q)
                for (int j = q; j < 8; ++j) std::swap(a[q][j], a[best][j]);
        }
        const float reciprocal = 1.0f / a[q][q];
        for (int j = q; j < 8; ++j) a[q][j] *= reciprocal;
        for (int r = 0; r < 4; ++r) {
            if (r == q) continue;
            const double factor = -static_cast<double>(a[r][q]);
            for (int j = q; j < 8; ++j) a[r][j] = static_cast<float>(a[r][j] + factor * a[q][j]);
        }
    }
}

void loadAugmented(const Matrix34& m, bool withTranslation, float a[4][8]) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 3; ++j) a[i][j] = (i < 3 || withTranslation) ? m.m[3 * i + j] : 0.0f;
        a[i][3] = i == 3 ? 1.0f : 0.0f;
        for (int j = 0; j < 4; ++j) a[i][4 + j] = i == j ? 1.0f : 0.0f;
    }
}

}  // namespace

Matrix34 inverse(const Matrix34& m) {
    float a[4][8];
    loadAugmented(m, true, a);
    invert4x4(a);
    Matrix34 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) r.m[3 * i + j] = a[i][4 + j];
    return r;
}

Matrix34 normalMatrix(const Matrix34& m) {
    float a[4][8];
    loadAugmented(m, false, a);
    invert4x4(a);
    Matrix34 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r.m[3 * j + i] = a[i][4 + j];
    r.m[9] = r.m[10] = r.m[11] = 0.0f;
    return r;
}

}  // namespace lumo
