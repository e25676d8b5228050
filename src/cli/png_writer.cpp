#include "cli/png_writer.h"

namespace lumo {

bool writePng(const FrameBuffer&, const std::string&, std::string& error) {
    error = "PNG writing is not built yet";
    return false;
}

}  // namespace lumo
