// Photon records, per-thread photon buffers and the global table of photon blocks.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/random.h"
#include "scene/scene_object.h"

namespace lumo {

struct Photon {
    Photon* next;
    float u;
    float v;
    float power;
    float wavelength;
    SceneObject* object;
};

inline constexpr int kPhotonsPerBlock = 4096;
inline constexpr int kPhotonBlockSlots = 500;

// One per photon thread. The generator and the wavelength travel with the thread's photons, so
// threads never share mutable random or spectral state.
struct PhotonBuffer {
    Photon* block = nullptr;
    uint32_t count = kPhotonsPerBlock + 1;  // > 4096: the first store takes a fresh block
    Random* rng = nullptr;
    float wavelength = 555.0f;
};

}  // namespace lumo
