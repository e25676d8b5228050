// Reads back the 8-bit RGB PNG files lumo-render writes.
#pragma once

#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lumo::test {

struct Png {
    int width = 0, height = 0;
    std::vector<std::vector<uint8_t>> rows;  // top row first, RGB
    uint32_t pixel(int row, int column) const {
        const uint8_t* p = &rows[row][static_cast<size_t>(column) * 3];
        return static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
    }
};

// False unless the file is a PNG the library reads as 8-bit RGB.
inline bool readPng(const std::string& path, Png& out) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    if (image.format != PNG_FORMAT_RGB) {
        png_image_free(&image);
        return false;
    }
    std::vector<uint8_t> data(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, data.data(), 0, nullptr)) return false;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    for (int y = 0; y < out.height; ++y)
        out.rows.emplace_back(data.begin() + static_cast<long>(y) * out.width * 3,
                              data.begin() + static_cast<long>(y + 1) * out.width * 3);
    return true;
}

}  // namespace lumo::test
