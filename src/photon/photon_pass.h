// The caustic and global-illumination photon passes: emit in fixed work blocks on any number of
// workers, then file every kept photon into the quadtree of the surface it landed on, in the order one
// thread emits them, so the maps do not depend on the thread count. The maps belong to the scene.
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

// A scene's photon maps: the photons of the last pass, the quadtree roots of its parallelograms (which point
// here) and the nodes below them. Made by the first pass over the scene, released with it.
struct PhotonMaps {
    PhotonStore store;
    std::deque<PhotonQuadNode> roots;
    NodePools nodes;
    // Scratch of the tree build, kept with its capacity so steady-state passes allocate nothing.
    std::vector<PhotonQuadNode*> trees;
    std::vector<size_t> groupEnd;
    std::vector<PhotonRef> refs;
    std::vector<float> causticRows;  // the caustic grid's outer offsets
};

PhotonMaps& photonMapsOf(Scene& scene);

// One photon worker's own state: its buffer, the generator of its current block and its ray counts.
struct alignas(kCacheLine) PhotonWorker {
    PhotonBuffer buffer;
    Random rng;
    RayStats stats;
};

// What a pass needs besides the scene: the frame's parameters, the frame's generator (the GI pass
// draws one seed from it, from which every block seeds its own), at least params.threadCount workers
// (1..64) and how threaded work waits.
struct PhotonPassSetup {
    const RenderParams& params;
    Random& frameRandom;
    std::span<PhotonWorker> workers;
    const WorkerWait& wait;
    const LeafShapes* leafShapes = nullptr;  // see TraceContext
};

// Both read the scene's first light; called between frames.
void runCausticPass(Scene& scene, const PhotonPassSetup& setup);
void runGlobalIlluminationPass(Scene& scene, const PhotonPassSetup& setup);

// Files every photon the last pass kept into the quadtrees, block by block and within a block in
// emission order, then runs the kernel's precomputation.
void buildQuadtrees(Scene& scene, int splitCount, int kernel);

}  // namespace lumo
