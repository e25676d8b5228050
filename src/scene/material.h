// Surface response: diffuse colour, mirror/transmission share, highlight exponent, index of refraction.
#pragma once

#include <cstdint>
#include <string>

#include "core/vec3.h"

namespace lumo {

// 24-bit bitmap: rows of blue-green-red bytes padded to a multiple of four bytes.
struct Bitmap {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 24;
    const uint8_t* pixels = nullptr;  // may be null: a bitmap without pixels is allowed
};

struct Material {
    Material* next = nullptr;     // link of the scene's material list, newest first
    int32_t kind = 0;             // 1: never reflects or transmits unless a dielectric
    const Bitmap* texture = nullptr;
    std::string name = "<default>";
    Vec3 diffuse{0.8f, 0.7f, 0.6f};  // a negative green component means the grey (red, red, red)
    float reflectivity = 0.0f;
    float phongExponent = 0.0f;   // 0 means 30
    float transmission = 0.0f;    // < 0: dielectric with Fresnel-weighted reflection and transmission
    float iorBase = 1.0f;         // n(lambda) = iorBase + iorCoeff / (lambda - iorPole)
    float iorCoeff = -1.0f;       // negative: the index is the constant iorBase
    float iorPole = 0.0f;
};

// The medium camera rays start in: constructor values, index 1 at every wavelength.
extern const Material airMedium;

}  // namespace lumo
