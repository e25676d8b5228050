#include "core/workers.h"

#include <atomic>
#include <cstdint>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace lumo {

namespace {

// The first exception a worker of a pass threw (out of memory, say), handed to the caller once every
// worker is done instead of ending the program on the worker's thread.
struct PassFailure {
    std::mutex mutex;
    std::exception_ptr first;

    void run(WorkerBody body, int k, void* context) {
        try {
            body(k, context);
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex);
            if (!first) first = std::current_exception();
        }
    }
    void rethrow() {
        if (first) std::rethrow_exception(std::exchange(first, nullptr));
    }
};

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
    if (wait.pool) {
        wait.pool->run(body, context, threadCount, wait);
        return;
    }
    PassDone done;
    PassFailure failure;
    done.remaining.store(threadCount, std::memory_order_release);
    std::vector<std::thread> threads;
    threads.reserve(static_cast<size_t>(threadCount));
    for (int k = 0; k < threadCount; ++k) {
        try {
            threads.emplace_back([body, context, k, &done, &failure] {
                failure.run(body, k, context);
                done.finishOne();
            });
        } catch (...) {
            // No thread for worker k and beyond: let the started ones finish, then report.
            for (std::thread& t : threads) t.join();
            throw;
        }
    }
    if (wait.onTimeout && !done.waitFor(wait.limit))
        wait.onTimeout(done.remaining.load(std::memory_order_acquire));
    // Late workers are still writing their share of the output: wait for them before anyone reads it.
    for (std::thread& t : threads) t.join();
    failure.rethrow();
}

struct WorkerPool::State {
    std::mutex mutex;
    std::condition_variable start;  // a new pass (generation) or stop
    std::condition_variable done;   // the last worker of a pass finished
    uint64_t generation = 0;
    WorkerBody body = nullptr;
    void* context = nullptr;
    int count = 0;      // workers of the current pass: threads 0..count-1
    int remaining = 0;  // of them still running
    bool stop = false;
    std::vector<std::thread> threads;
    PassFailure failure;

    void serve(int k) {
        uint64_t seen = 0;
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            start.wait(lock, [&] { return stop || generation != seen; });
            if (stop) return;
            seen = generation;
            if (k >= count) continue;
            const WorkerBody b = body;
            void* const c = context;
            lock.unlock();
            failure.run(b, k, c);
            lock.lock();
            if (--remaining == 0) done.notify_all();
        }
    }
};

WorkerPool::WorkerPool() : state_(std::make_unique<State>()) {}

WorkerPool::WorkerPool(WorkerPool&&) noexcept = default;
WorkerPool& WorkerPool::operator=(WorkerPool&&) noexcept = default;

WorkerPool::~WorkerPool() {
    if (!state_) return;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->stop = true;
    }
    state_->start.notify_all();
    for (std::thread& t : state_->threads) t.join();
}

void WorkerPool::run(WorkerBody body, void* context, int threadCount, const WorkerWait& wait) {
    if (threadCount <= 1) {
        body(0, context);
        return;
    }
    State& s = *state_;
    while (static_cast<int>(s.threads.size()) < threadCount) {
        const int k = static_cast<int>(s.threads.size());
        s.threads.emplace_back([&s, k] { s.serve(k); });
    }
    std::unique_lock<std::mutex> lock(s.mutex);
    s.body = body;
    s.context = context;
    s.count = threadCount;
    s.remaining = threadCount;
    ++s.generation;
    s.start.notify_all();
    const auto finished = [&s] { return s.remaining == 0; };
    if (wait.onTimeout && !s.done.wait_for(lock, wait.limit, finished)) {
        const int late = s.remaining;
        lock.unlock();
        wait.onTimeout(late);
        lock.lock();
    }
    // Late workers are still writing their share of the output: wait for them before anyone reads it.
    s.done.wait(lock, finished);
    lock.unlock();
    s.failure.rethrow();
}

}  // namespace lumo
