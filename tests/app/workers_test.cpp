#include "app/workers.h"
#include "image/frame.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/platform.h"

namespace lumo {
namespace {

using namespace std::chrono_literals;

struct Record {
    std::thread::id thread[4];
    int calls[4] = {};
    int output[4] = {};
    std::chrono::milliseconds delay[4] = {};
    bool countsWithSlot[4] = {};
};

void recordBody(int k, void* context) {
    auto& r = *static_cast<Record*>(context);
    r.thread[k] = std::this_thread::get_id();
    ++r.calls[k];
    r.countsWithSlot[k] = rayStats == &workerSlot(k).stats;
    if (r.delay[k].count() > 0) std::this_thread::sleep_for(r.delay[k]);
    r.output[k] = 100 + k;  // written last, as a worker's share of a pass's output
}

struct Workers : testing::Test {
    void SetUp() override { recordingPlatform().messages.clear(); }
    void TearDown() override { setWorkerWaitLimit(2000ms); }
};

TEST_F(Workers, OneThreadRunsTheBodyOnTheCaller) {
    Record r;
    const uint64_t setsBefore = workerEventSetCount();
    runWorkers(recordBody, &r, 1);
    EXPECT_EQ(r.calls[0], 1);
    EXPECT_EQ(r.calls[1], 0);
    EXPECT_EQ(r.thread[0], std::this_thread::get_id());
    EXPECT_EQ(workerEventSetCount(), setsBefore);
    EXPECT_TRUE(recordingPlatform().messages.empty());
}

TEST_F(Workers, FourWorkersSetTheEventOnceAndReturnInTime) {
    EXPECT_EQ(workerWaitLimit(), 2000ms);
    Record r;
    for (auto& d : r.delay) d = 20ms;
    const uint64_t setsBefore = workerEventSetCount();
    const auto start = std::chrono::steady_clock::now();
    runWorkers(recordBody, &r, 4);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    EXPECT_EQ(workerEventSetCount(), setsBefore + 1);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(r.calls[k], 1);
        EXPECT_EQ(r.output[k], 100 + k);
        EXPECT_NE(r.thread[k], std::this_thread::get_id());
        EXPECT_TRUE(r.countsWithSlot[k]);
        for (int j = 0; j < k; ++j) EXPECT_NE(r.thread[k], r.thread[j]);
    }
    EXPECT_TRUE(recordingPlatform().messages.empty());
}

TEST_F(Workers, TimeOutReportsTheLateWorkersAndStillWaitsForTheirOutput) {
    // Margins wide enough for a loaded machine: the prompt worker is done long before the limit, the
    // slow ones long after it.
    setWorkerWaitLimit(250ms);
    Record r;
    r.delay[1] = 1000ms;
    runWorkers(recordBody, &r, 2);
    ASSERT_EQ(recordingPlatform().messages.size(), 1u);
    EXPECT_EQ(recordingPlatform().messages[0], "Debug: Time out, ThrCnt=1");
    EXPECT_EQ(r.output[1], 101);  // the late worker finished before runWorkers returned

    Record all;
    for (auto& d : all.delay) d = 1000ms;
    runWorkers(recordBody, &all, 4);
    ASSERT_EQ(recordingPlatform().messages.size(), 2u);
    EXPECT_EQ(recordingPlatform().messages[1], "Debug: Time out, ThrCnt=4");
    for (int k = 0; k < 4; ++k) EXPECT_EQ(all.output[k], 100 + k);

    // The next pass starts from a reset event: fast workers do not report a time-out.
    setWorkerWaitLimit(2000ms);
    Record fast;
    runWorkers(recordBody, &fast, 2);
    EXPECT_EQ(recordingPlatform().messages.size(), 2u);
}

}  // namespace
}  // namespace lumo
