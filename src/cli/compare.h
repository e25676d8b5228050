// Comparing the last frame with a reference picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/frame_buffer.h"

namespace lumo {

// A PNG read as 8-bit RGB, top row first.
struct Reference {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

// Reads a PNG of width x height (grey, palette, 16-bit and alpha ones converted to 8-bit RGB). Sets
// error to "cannot read 'path': <reason>", or names both sizes when they differ.
bool readReference(const std::string& path, int width, int height, Reference& ref, std::string& error);

struct Comparison {
    uint64_t matching = 0;  // pixels whose channels all differ by at most the tolerance
    uint64_t pixels = 0;
    int maxDifference = 0;  // the largest channel difference of any pixel
};

// Compares the frame's visible picture with ref (of its size). With diff, fills it with the difference
// picture: black where pixels match, elsewhere the channel differences scaled so the largest is 255.
Comparison comparePictures(const FrameBuffer& fb, const Reference& ref, int tolerance, FrameBuffer* diff);

// Whether at least the fraction minMatch of the pixels match.
bool comparisonPasses(const Comparison& c, double minMatch);

// "compare: match=M of N pixels, max_difference=D"
std::string formatComparison(const Comparison& c);

}  // namespace lumo
