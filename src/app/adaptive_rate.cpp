#include "app/adaptive_rate.h"

#include <algorithm>

namespace lumo {

void adaptThresholds(int16_t thresholds[5], int targetFps, float measuredFps) {
    const int t = thresholds[1];
    const float base = static_cast<float>(t);
    float d = (static_cast<float>(targetFps) - measuredFps) * 0.05f * base;
    if (d > 0.0f && d < 1.0f) d = 1.0f;
    if (d < 0.0f && d > -1.0f) d = -1.0f;
    if (d <= -base) d = -base / 3.0f;
    if (d > 256.0f - base) d = 256.0f - base;
    const int next = t + static_cast<int>(d);  // the conversion truncates toward zero
    thresholds[1] = static_cast<int16_t>(next);
    thresholds[0] = static_cast<int16_t>(std::min(next / 6, 8));
    thresholds[2] = static_cast<int16_t>(next * 4 / 3);
    thresholds[3] = static_cast<int16_t>(thresholds[2] * 4 / 3);
    thresholds[4] = static_cast<int16_t>(thresholds[3] * 4 / 3);
}

}  // namespace lumo
