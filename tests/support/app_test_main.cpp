#include <gtest/gtest.h>

#include "app/platform.h"

namespace {

// The application tests run against the recording platform with a scripted clock.
class RecordingEnvironment : public testing::Environment {
public:
    void SetUp() override {
        lumo::setPlatform(nullptr);
        lumo::recordingPlatform().scripted = true;
    }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new RecordingEnvironment);
    return RUN_ALL_TESTS();
}
