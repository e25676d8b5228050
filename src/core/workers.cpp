#include "core/workers.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace lumo {

namespace {

// The pass's completion: a count of running workers and an event the last one sets.
struct PassDone {
    std::mutex mutex;
    std::condition_variable signal;
    bool signalled = false;
    std::atomic<int> remaining{0};

    void finishOne() {
        if (remaining.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
        {
            std::lock_guard<std::mutex> lock(mutex);
            signalled = true;
        }
        signal.notify_all();
    }
    // True when every worker finished within the limit.
    bool waitFor(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex);
        return signal.wait_for(lock, limit, [this] { return signalled; });
    }
};

}  // namespace

int hardwareThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n < 1 ? 1 : (n > kMaxWorkerThreads ? kMaxWorkerThreads : static_cast<int>(n));
}

void runWorkers(WorkerBody body, void* context, int threadCount, const WorkerWait& wait) {
    if (threadCount <= 1) {
        body(0, context);
        return;
    }
    PassDone done;
    done.remaining.store(threadCount, std::memory_order_release);
    std::vector<std::thread> threads;
    threads.reserve(static_cast<size_t>(threadCount));
    for (int k = 0; k < threadCount; ++k)
        threads.emplace_back([body, context, k, &done] {
            body(k, context);
            done.finishOne();
        });
    if (wait.onTimeout && !done.waitFor(wait.limit))
        wait.onTimeout(done.remaining.load(std::memory_order_acquire));
    // Late workers are still writing their share of the output: wait for them before anyone reads it.
    for (std::thread& t : threads) t.join();
}

}  // namespace lumo
