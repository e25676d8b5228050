// Threaded passes: run a body on N threads and wait for all of them.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace lumo {

using WorkerBody = void (*)(int k, void* context);

// The most threads a pass runs on.
inline constexpr int kMaxWorkerThreads = 64;

// The processor's hardware threads, 1 to kMaxWorkerThreads.
int hardwareThreads();

// How a threaded pass waits. Without onTimeout it simply waits for its workers. With it, the pass
// calls onTimeout(workers still running) once the limit has passed (the window's "Time out" box),
// then still waits for the late workers, so nobody reads unfinished output.
class WorkerPool;
struct WorkerWait {
    std::chrono::milliseconds limit{2000};
    std::function<void(int remaining)> onTimeout;
    WorkerPool* pool = nullptr;  // threads kept between passes; null: each pass starts its own
};

// Runs body(k, context) for k = 0..threadCount-1 and returns when all are done. With one thread the
// body runs on the calling thread; with several on the threads of wait.pool or of their own.
void runWorkers(WorkerBody body, void* context, int threadCount, const WorkerWait& wait = {});

// Threads that stay between passes, so a frame of several passes does not start threads for each.
// Grows to the largest thread count asked for; one pass at a time.
class WorkerPool {
public:
    WorkerPool();
    ~WorkerPool();
    WorkerPool(WorkerPool&&) noexcept;
    WorkerPool& operator=(WorkerPool&&) noexcept;

    // As runWorkers, on the pool's threads.
    void run(WorkerBody body, void* context, int threadCount, const WorkerWait& wait);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace lumo
