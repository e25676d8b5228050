// The caustic and global-illumination photon passes: emit on 1, 2 or 4 workers, then file every
// stored photon into the quadtree of the surface it landed on.
#pragma once

namespace lumo {

// Both read the first light and the settings; called by the frame loop on the UI thread.
void runCausticPass();
void runGlobalIlluminationPass();

// Files every photon of the pass into the quadtrees, then runs the kernel's precomputation.
void buildQuadtrees(int splitCount, int threadCount);

}  // namespace lumo
