#include <gtest/gtest.h>

#include "support/test_world.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new lumo::test::WorldEnvironment);
    return RUN_ALL_TESTS();
}
