// Test environment: the recording platform with a scripted clock, the single light, a seeded generator.
#pragma once

#include <gtest/gtest.h>

#include "app/platform.h"
#include "core/random.h"
#include "scene/world.h"

namespace lumo::test {

class WorldEnvironment : public testing::Environment {
public:
    void SetUp() override {
        setPlatform(nullptr);
        recordingPlatform().scripted = true;
        ensureLight();
        seedRandom(12345);
    }
};

}  // namespace lumo::test
