// PNG and JPEG images decoded for textures, into the layout of the scene's bitmaps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lumo {

inline constexpr int kMaxImageSide = 4096;

// 8-bit blue, green, red texels, rows padded to 4 bytes, row 0 at texture coordinate t = 0.
struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

// Decodes PNG or JPEG bytes, told apart by their signature. `topRowFirst`: the image's top row is
// t = 0 (glTF), else its bottom row (OBJ). False with `reason` to follow "name: " ("not a PNG or JPEG
// image", "is 8192 x 8192 pixels, more than 4096 on a side").
bool decodeImage(const unsigned char* bytes, size_t size, bool topRowFirst, DecodedImage& out, std::string& reason);

}  // namespace lumo
