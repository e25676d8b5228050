// Worker passes on 1, 2 or 4 threads: one manual-reset event, an atomic counter, a 2000 ms wait.
#pragma once

namespace lumo {

using WorkerBody = void (*)(int k, void* context);

// Runs body(k, context) for k = 0..threadCount-1 and returns when all are done. With one thread the
// body runs on the calling thread. After 2000 ms the "Time out, ThrCnt=%d" message is shown, and the
// pass then still waits for its late workers before returning, so nobody reads unfinished output.
void runWorkers(WorkerBody body, void* context, int threadCount);

}  // namespace lumo
