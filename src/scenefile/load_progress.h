// How far a file load has come, written by the loading threads and read by whoever shows it.
#pragma once

#include <algorithm>
#include <atomic>

namespace lumo {

class LoadProgress {
public:
    // 0 to 1; never goes back, so threads finishing out of order cannot make it jump.
    void set(double fraction) {
        const unsigned value = static_cast<unsigned>(std::clamp(fraction, 0.0, 1.0) * kSteps + 0.5);
        unsigned now = steps_.load(std::memory_order_relaxed);
        while (value > now && !steps_.compare_exchange_weak(now, value, std::memory_order_relaxed)) {
        }
    }
    double fraction() const { return steps_.load(std::memory_order_relaxed) / double(kSteps); }

private:
    static constexpr unsigned kSteps = 10000;
    std::atomic<unsigned> steps_{0};
};

// A part [from, to] of a load's progress: a step reports its own 0..1 and the whole moves within the part.
struct ProgressPart {
    LoadProgress* progress = nullptr;  // null: nobody watches
    double from = 0.0, to = 1.0;

    void set(double fraction) const {
        if (progress) progress->set(from + (to - from) * fraction);
    }
    ProgressPart part(double a, double b) const { return {progress, from + (to - from) * a, from + (to - from) * b}; }
};

}  // namespace lumo
