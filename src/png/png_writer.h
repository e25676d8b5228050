// Writes the visible picture of a frame buffer as an 8-bit RGB PNG.
#pragma once

#include <string>
#include <vector>

#include "image/frame_buffer.h"

namespace lumo {

// The PNG file of the picture, in memory. Top row of the file is buffer row height-1, left column is
// buffer column 1. False (and error set) when the encoder fails or memory runs out.
bool encodePng(const FrameBuffer& fb, std::vector<unsigned char>& bytes, std::string& error);

// Encodes the picture and writes it with writeOutput: a failure never leaves half a file, and an old
// file stays as it was.
bool writePng(const FrameBuffer& fb, const std::string& path, std::string& error);

}  // namespace lumo
