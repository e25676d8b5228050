#include "app/workers.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "app/platform.h"
#include "image/frame.h"

namespace lumo {

namespace {

// A manual-reset event: stays signalled until reset, releases every waiter.
class ManualResetEvent {
public:
    void reset() {
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = false;
    }
    void set() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            signalled_ = true;
            ++setCount_;
        }
        signal_.notify_all();
    }
    // True when signalled within the limit, false on time-out.
    bool waitFor(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex_);
        return signal_.wait_for(lock, limit, [this] { return signalled_; });
    }
    uint64_t setCount() {
        std::lock_guard<std::mutex> lock(mutex_);
        return setCount_;
    }

private:
    std::mutex mutex_;
    std::condition_variable signal_;
    bool signalled_ = false;
    uint64_t setCount_ = 0;
};

ManualResetEvent& workersDoneEvent() {
    static ManualResetEvent event;
    return event;
}

std::atomic<int32_t> workersRemaining{0};
std::atomic<int64_t> waitLimitMs{2000};

struct WorkerStart {
    WorkerBody body;
    void* context;
    int k;
};

void workerThread(WorkerStart start) {
    // Rays this worker casts count with its slot, whichever pass it serves.
    rayStats = &workerSlot(start.k).stats;
    start.body(start.k, start.context);
    finishWorker();
}

}  // namespace

void finishWorker() {
    if (workersRemaining.fetch_sub(1, std::memory_order_acq_rel) == 1) workersDoneEvent().set();
}

void runWorkers(WorkerBody body, void* context, int threadCount) {
    if (threadCount <= 1) {
        body(0, context);
        return;
    }
    if (threadCount > 4) threadCount = 4;
    ManualResetEvent& event = workersDoneEvent();
    event.reset();
    workersRemaining.store(threadCount, std::memory_order_release);
    std::thread threads[4];
    for (int k = 0; k < threadCount; ++k) threads[k] = std::thread(workerThread, WorkerStart{body, context, k});

    if (!event.waitFor(workerWaitLimit())) {
        char text[64];
        std::snprintf(text, sizeof text, "Time out, ThrCnt=%d",
                      static_cast<int>(workersRemaining.load(std::memory_order_acquire)));
        platform().showMessage("Debug", text);
    }
    // Late workers are still writing their share of the output: wait for them before anyone reads it.
    for (int k = 0; k < threadCount; ++k) threads[k].join();
}

std::chrono::milliseconds workerWaitLimit() { return std::chrono::milliseconds(waitLimitMs.load()); }

void setWorkerWaitLimit(std::chrono::milliseconds limit) { waitLimitMs.store(limit.count()); }

uint64_t workerEventSetCount() { return workersDoneEvent().setCount(); }

}  // namespace lumo
