// The caustic and global-illumination photon passes: emit on 1, 2 or 4 workers, then file every
// stored photon into the quadtree of the surface it landed on. The maps belong to the scene.
#pragma once

#include <deque>
#include <span>
#include <vector>

#include "core/random.h"
#include "core/render_params.h"
#include "core/workers.h"
#include "photon/photon_store.h"
#include "photon/quadtree.h"
#include "scene/scene.h"
#include "trace/trace.h"

namespace lumo {

// A scene's photon maps: the photon blocks, the quadtree roots of its parallelograms (which point
// here) and the nodes below them. Made by the first pass over the scene, released with it.
struct PhotonMaps {
    PhotonBlockTable blocks;
    std::deque<PhotonQuadNode> roots;
    NodePools nodes;
    // Scratch of the tree build, kept with its capacity so steady-state passes allocate nothing.
    std::vector<PhotonQuadNode*> trees;
    std::vector<size_t> groupEnd;
    std::vector<PhotonRef> refs;
};

PhotonMaps& photonMapsOf(Scene& scene);

// One photon worker's own state: its buffer, its generator (several threads) and its ray counts.
struct alignas(kCacheLine) PhotonWorker {
    PhotonBuffer buffer;
    Random rng;
    RayStats stats;
};

// What a pass needs besides the scene: the frame's parameters, the frame's generator (one thread
// draws its photons from it, several seed their own from it), at least params.threadCount workers and
// how threaded work waits.
struct PhotonPassSetup {
    const RenderParams& params;
    Random& frameRandom;
    std::span<PhotonWorker> workers;
    const WorkerWait& wait;
};

// Both read the scene's first light; called between frames.
void runCausticPass(Scene& scene, const PhotonPassSetup& setup);
void runGlobalIlluminationPass(Scene& scene, const PhotonPassSetup& setup);

// Files every photon of the pass into the quadtrees, then runs the kernel's precomputation.
// `workers` are the pass's, whose last blocks may be partly filled.
void buildQuadtrees(Scene& scene, int splitCount, int kernel, std::span<const PhotonWorker> workers);

}  // namespace lumo
