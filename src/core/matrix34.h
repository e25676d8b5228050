// Affine transform: three axis rows then a translation row; points are row vectors.
#pragma once

#include "core/vec3.h"

namespace lumo {

struct Matrix34 {
    float m[12];  // m0..m2 x axis, m3..m5 y axis, m6..m8 z axis, m9..m11 translation; unset by default
};

// The modifying operations compose on the right (M <- M*T), so steps apply in call order.
void setIdentity(Matrix34& m);
void scaleBy(Matrix34& m, float a, float b, float c);
void rotateX(Matrix34& m, float angle);
void rotateY(Matrix34& m, float angle);
void rotateZ(Matrix34& m, float angle);
void translateBy(Matrix34& m, float a, float b, float c);
Matrix34 multiply(const Matrix34& a, const Matrix34& b);
Matrix34 inverse(const Matrix34& m);
Matrix34 normalMatrix(const Matrix34& m);

inline Vec3 transformPoint(const Vec3& p, const Matrix34& t) {
    const float* m = t.m;
    return {p.x * m[0] + p.y * m[3] + p.z * m[6] + m[9], p.x * m[1] + p.y * m[4] + p.z * m[7] + m[10],
            p.x * m[2] + p.y * m[5] + p.z * m[8] + m[11]};
}

// The 3x3 part only (directions).
inline Vec3 transformDirection(const Vec3& p, const Matrix34& t) {
    const float* m = t.m;
    return {p.x * m[0] + p.y * m[3] + p.z * m[6], p.x * m[1] + p.y * m[4] + p.z * m[7],
            p.x * m[2] + p.y * m[5] + p.z * m[8]};
}

}  // namespace lumo
