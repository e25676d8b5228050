#include "cli/compare.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "options/option_table.h"
#include "scenefile/input_file.h"

namespace lumo {

namespace {

// The channel differences of visible pixel (row, column) of the frame, row 0 at the top.
void channelDifferences(const FrameBuffer& fb, const Reference& ref, int row, int column, int d[3]) {
    const uint32_t p = fb.at(fb.height - 1 - row, column + 1);
    const uint8_t* r = &ref.rgb[(static_cast<size_t>(row) * ref.width + column) * 3];
    d[0] = std::abs(static_cast<int>((p >> 16) & 0xFF) - r[0]);
    d[1] = std::abs(static_cast<int>((p >> 8) & 0xFF) - r[1]);
    d[2] = std::abs(static_cast<int>(p & 0xFF) - r[2]);
}

}  // namespace

bool readReference(const std::string& path, int width, int height, Reference& ref, std::string& error) {
    std::vector<unsigned char> bytes;
    std::string reason;
    if (!readInputFile(path, kMaxDataFileBytes, bytes, reason)) {
        error = quoteArgument(path) + " " + reason;
        return false;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    bool ok = png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) != 0;
    if (ok && (static_cast<int>(image.width) != width || static_cast<int>(image.height) != height)) {
        error = quoteArgument(path) + " is " + std::to_string(image.width) + "x" + std::to_string(image.height) +
                ", the picture " + std::to_string(width) + "x" + std::to_string(height);
        png_image_free(&image);
        return false;
    }
    if (ok) {
        image.format = PNG_FORMAT_RGB;
        ref.width = static_cast<int>(image.width);
        ref.height = static_cast<int>(image.height);
        ref.rgb.assign(PNG_IMAGE_SIZE(image), 0);
        ok = png_image_finish_read(&image, nullptr, ref.rgb.data(), 0, nullptr) != 0;
    }
    if (!ok) {
        error = "cannot read " + quoteArgument(path) + " as a PNG: " + image.message;
        png_image_free(&image);
    }
    return ok;
}

Comparison comparePictures(const FrameBuffer& fb, const Reference& ref, int tolerance, FrameBuffer* diff) {
    Comparison c;
    c.pixels = static_cast<uint64_t>(fb.width) * static_cast<uint64_t>(fb.height);
    int d[3];
    for (int row = 0; row < fb.height; ++row)
        for (int column = 0; column < fb.width; ++column) {
            channelDifferences(fb, ref, row, column, d);
            const int largest = std::max({d[0], d[1], d[2]});
            c.maxDifference = std::max(c.maxDifference, largest);
            c.matching += largest <= tolerance;
        }
    if (!diff) return c;
    diff->resize(fb.width, fb.height);
    const int scale = std::max(c.maxDifference, 1);
    for (int row = 0; row < fb.height; ++row)
        for (int column = 0; column < fb.width; ++column) {
            channelDifferences(fb, ref, row, column, d);
            uint32_t p = 0;
            if (std::max({d[0], d[1], d[2]}) > tolerance)
                for (int k = 0; k < 3; ++k) p = p << 8 | static_cast<uint32_t>(d[k] * 255 / scale);
            diff->at(fb.height - 1 - row, column + 1) = p;
        }
    return c;
}

bool comparisonPasses(const Comparison& c, double minMatch) {
    const double needed = std::ceil(minMatch * static_cast<double>(c.pixels) - 1e-9);
    return static_cast<double>(c.matching) >= needed;
}

std::string formatComparison(const Comparison& c) {
    char line[128];
    std::snprintf(line, sizeof line, "compare: match=%llu of %llu pixels, max_difference=%d",
                  static_cast<unsigned long long>(c.matching), static_cast<unsigned long long>(c.pixels),
                  c.maxDifference);
    return line;
}

}  // namespace lumo
