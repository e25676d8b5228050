// Worker passes on 1, 2 or 4 threads: one manual-reset event, an atomic counter, a 2000 ms wait.
#pragma once

#include <chrono>
#include <cstdint>

namespace lumo {

using WorkerBody = void (*)(int k, void* context);

// Runs body(k, context) for k = 0..threadCount-1 and returns when all are done. With one thread the
// body runs on the calling thread. After 2000 ms the "Time out, ThrCnt=%d" message is shown, and the
// pass then still waits for its late workers before returning, so nobody reads unfinished output.
// runWorkers calls finishWorker itself after each body of a threaded pass: bodies must not.
void runWorkers(WorkerBody body, void* context, int threadCount);

// The last step of every threaded worker: counts it off and, for the last one, sets the event.
void finishWorker();

// How long runWorkers waits before it reports a time-out (2000 ms unless a test shortens it).
std::chrono::milliseconds workerWaitLimit();
void setWorkerWaitLimit(std::chrono::milliseconds limit);

// How often the event has been set since start-up (each threaded pass sets it once).
uint64_t workerEventSetCount();

}  // namespace lumo
