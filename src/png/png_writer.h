// Writes the visible picture of a frame buffer as an 8-bit RGB PNG.
#pragma once

#include <string>

#include "image/frame_buffer.h"

namespace lumo {

// Top row of the file is buffer row height-1, left column is buffer column 1. Written to a temporary
// file in the same folder and renamed, so a failure never leaves half a file. Returns false and sets
// error on failure.
bool writePng(const FrameBuffer& fb, const std::string& path, std::string& error);

// Whether a file can be created at path (checked before rendering, so a bad path costs no frames).
// Leaves nothing behind.
bool checkWritable(const std::string& path, std::string& error);

}  // namespace lumo
