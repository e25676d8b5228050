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

// How a texture coordinate outside [0, 1] finds its texel, per axis.
enum class TextureWrap : uint8_t { kRepeat, kMirroredRepeat, kClampToEdge };

// How a material's texture colours its surface. The built-in kind takes the nearest texel in place of
// the colour (coordinates wrapped into [0, 1]); the filtered kind, which mesh files' textures get,
// blends the four nearest texels and multiplies the diffuse colour by the result.
struct TextureSampling {
    bool filtered = false;
    TextureWrap wrapS = TextureWrap::kRepeat;
    TextureWrap wrapT = TextureWrap::kRepeat;
    // (s, t) -> (m[0] s + m[1] t + m[2], m[3] s + m[4] t + m[5]) before the wrap: the file's texture
    // transform (offset, rotation, scale), the identity without one.
    float transform[6] = {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f};
};

struct Material {
    Material* next = nullptr;     // link of the scene's material list, newest first
    int32_t kind = 0;             // 1: never reflects or transmits unless a dielectric
    const Bitmap* texture = nullptr;
    TextureSampling sampling;
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
