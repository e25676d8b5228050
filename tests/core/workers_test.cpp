#include "core/workers.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include <chrono>
#include <new>
#include <thread>
#include <vector>

namespace lumo {
namespace {

using namespace std::chrono_literals;

struct Record {
    std::thread::id thread[4];
    int calls[4] = {};
    int output[4] = {};
    std::chrono::milliseconds delay[4] = {};
};

void recordBody(int k, void* context) {
    auto& r = *static_cast<Record*>(context);
    r.thread[k] = std::this_thread::get_id();
    ++r.calls[k];
    if (r.delay[k].count() > 0) std::this_thread::sleep_for(r.delay[k]);
    r.output[k] = 100 + k;  // written last, as a worker's share of a pass's output
}

// A wait that records every time-out it reports.
struct RecordedWait {
    std::vector<int> timeOuts;
    WorkerWait wait;
    RecordedWait(std::chrono::milliseconds limit, WorkerPool* pool) {
        wait.limit = limit;
        wait.onTimeout = [this](int remaining) { timeOuts.push_back(remaining); };
        wait.pool = pool;
    }
};

// Every case runs with threads of its own per pass and on a pool that keeps its threads.
class Workers : public testing::TestWithParam<bool> {
protected:
    WorkerPool pool_;
    WorkerPool* pool() { return GetParam() ? &pool_ : nullptr; }
};

TEST_P(Workers, OneThreadRunsTheBodyOnTheCallerWithoutATimeOut) {
    Record r;
    r.delay[0] = 20ms;
    RecordedWait w(0ms, pool());
    runWorkers(recordBody, &r, 1, w.wait);
    EXPECT_EQ(r.calls[0], 1);
    EXPECT_EQ(r.calls[1], 0);
    EXPECT_EQ(r.thread[0], std::this_thread::get_id());
    EXPECT_TRUE(w.timeOuts.empty());
}

TEST_P(Workers, EachWorkerRunsOnceOnItsOwnThreadAndThePassEndsWithTheLast) {
    Record r;
    for (auto& d : r.delay) d = 20ms;
    // The pass returns when its workers are done, not when the limit has passed: a pass that waited
    // for this limit would hang the test.
    RecordedWait w(std::chrono::hours(24), pool());
    runWorkers(recordBody, &r, 4, w.wait);
    EXPECT_TRUE(w.timeOuts.empty());
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(r.calls[k], 1);
        EXPECT_EQ(r.output[k], 100 + k);
        EXPECT_NE(r.thread[k], std::this_thread::get_id());
        for (int j = 0; j < k; ++j) EXPECT_NE(r.thread[k], r.thread[j]);
    }
}

// Workers that may go on only once the pass has reported its time-out: late whatever the machine.
struct HeldUntilTimeOut {
    std::mutex mutex;
    std::condition_variable reported;
    bool timedOut = false;
    unsigned held = 0;  // bit k: worker k waits for the report
    Record r;
    static void body(int k, void* c) {
        auto& h = *static_cast<HeldUntilTimeOut*>(c);
        if (h.held & (1u << k)) {
            std::unique_lock<std::mutex> lock(h.mutex);
            h.reported.wait(lock, [&] { return h.timedOut; });
        }
        recordBody(k, &h.r);
    }
    WorkerWait waitWith(std::chrono::milliseconds limit, std::vector<int>& timeOuts, WorkerPool* pool) {
        return WorkerWait{limit,
                          [this, &timeOuts](int remaining) {
                              timeOuts.push_back(remaining);
                              {
                                  std::lock_guard<std::mutex> lock(mutex);
                                  timedOut = true;
                              }
                              reported.notify_all();
                          },
                          pool};
    }
};

TEST_P(Workers, TimeOutReportsTheLateWorkersAndStillWaitsForTheirOutput) {
    // The prompt worker has a second to finish, some thousand times what it needs; the held ones
    // cannot finish before the time-out is reported.
    std::vector<int> timeOuts;
    HeldUntilTimeOut one;
    one.held = 0b10;
    runWorkers(HeldUntilTimeOut::body, &one, 2, one.waitWith(1000ms, timeOuts, pool()));
    EXPECT_EQ(timeOuts, std::vector<int>{1});
    EXPECT_EQ(one.r.output[1], 101);  // the late worker finished before runWorkers returned

    HeldUntilTimeOut all;
    all.held = 0b1111;
    runWorkers(HeldUntilTimeOut::body, &all, 4, all.waitWith(0ms, timeOuts, pool()));
    EXPECT_EQ(timeOuts, (std::vector<int>{1, 4}));
    for (int k = 0; k < 4; ++k) EXPECT_EQ(all.r.output[k], 100 + k);

    // Without a time-out callback the limit means nothing: the pass waits for every worker.
    Record quiet;
    quiet.delay[3] = 300ms;
    runWorkers(recordBody, &quiet, 4, WorkerWait{0ms, {}, pool()});
    for (int k = 0; k < 4; ++k) EXPECT_EQ(quiet.output[k], 100 + k);
}

TEST_P(Workers, AWorkersExceptionReachesTheCallerAfterTheOthersFinish) {
    struct Failing {
        Record r;
        static void body(int k, void* c) {
            if (k == 2) throw std::bad_alloc();
            recordBody(k, &static_cast<Failing*>(c)->r);
        }
    } f;
    f.r.delay[3] = 100ms;
    EXPECT_THROW(runWorkers(Failing::body, &f, 4, WorkerWait{2000ms, {}, pool()}), std::bad_alloc);
    EXPECT_EQ(f.r.output[3], 103);  // the slow worker was waited for
    // The next pass runs clean.
    Record next;
    runWorkers(recordBody, &next, 4, WorkerWait{2000ms, {}, pool()});
    for (int k = 0; k < 4; ++k) EXPECT_EQ(next.output[k], 100 + k);
}

INSTANTIATE_TEST_SUITE_P(OwnThreadsAndPool, Workers, testing::Bool());

TEST(WorkerPool, KeepsItsThreadsAndRunsOnlyThePassesWorkers) {
    WorkerPool pool;
    const WorkerWait onPool{2000ms, {}, &pool};
    Record first, second, fewer;
    runWorkers(recordBody, &first, 4, onPool);
    runWorkers(recordBody, &second, 4, onPool);
    runWorkers(recordBody, &fewer, 2, onPool);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(second.thread[k], first.thread[k]) << k;
        EXPECT_EQ(second.output[k], 100 + k);
        EXPECT_EQ(fewer.calls[k], k < 2 ? 1 : 0) << k;
    }
}

}  // namespace
}  // namespace lumo
