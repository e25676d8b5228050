// Threaded passes: run a body on N threads and wait for all of them.
#pragma once

#include <chrono>
#include <functional>

namespace lumo {

using WorkerBody = void (*)(int k, void* context);

// The most threads a pass runs on.
inline constexpr int kMaxWorkerThreads = 64;

// The processor's hardware threads, 1 to kMaxWorkerThreads.
int hardwareThreads();

// How a threaded pass waits. Without onTimeout it simply waits for its workers. With it, the pass
// calls onTimeout(workers still running) once the limit has passed (the window's "Time out" box),
// then still waits for the late workers, so nobody reads unfinished output.
struct WorkerWait {
    std::chrono::milliseconds limit{2000};
    std::function<void(int remaining)> onTimeout;
};

// Runs body(k, context) for k = 0..threadCount-1 and returns when all are done. With one thread the
// body runs on the calling thread.
void runWorkers(WorkerBody body, void* context, int threadCount, const WorkerWait& wait = {});

}  // namespace lumo
