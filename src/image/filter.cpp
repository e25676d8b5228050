#include "image/filter.h"

#include <utility>
#include <vector>

#include "image/packed_pixel.h"

namespace lumo {

namespace {

// Copies displayed row y (columns 1..width) into line[1..width] and replicates its end pixels into
// line[0] and line[width + 1].
void loadRow(const FrameBuffer& fb, int y, std::vector<uint32_t>& line) {
    const int w = fb.width;
    for (int x = 1; x <= w; ++x) line[x] = fb.at(y, x);
    line[0] = line[1];
    line[w + 1] = line[w];
}

}  // namespace

void filterFrame(FrameBuffer& fb) {
    const int w = fb.width, h = fb.height;
    if (w <= 0 || h <= 0) return;
    std::vector<uint32_t> previous(w + 2), current(w + 2), next(w + 2);
    loadRow(fb, 0, current);
    previous = current;
    for (int y = 0; y < h; ++y) {
        loadRow(fb, y + 1 < h ? y + 1 : h - 1, next);
        for (int x = 1; x <= w; ++x) {
            const uint32_t edges = average4(previous[x], current[x - 1], current[x + 1], next[x]);
            const uint32_t corners = average4(previous[x - 1], previous[x + 1], next[x - 1], next[x + 1]);
            fb.at(y, x) = average2(current[x], average3(edges, edges, corners));
        }
        std::swap(previous, current);
        std::swap(current, next);
    }
}

}  // namespace lumo
