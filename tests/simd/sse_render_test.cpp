// Whole pictures on both paths: every demo scene, traced through traceCameraRay over a grid of
// camera rays with the default shader (shadows, reflections and glass included), at two animation
// times. The paths may differ only on the few rays that graze an edge or a sphere exactly.
#include <cmath>
#include <vector>

#include "core/random.h"
#include "scene/demo_scenes.h"
#include "simd_test_util.h"
#include "trace/trace.h"

namespace lumo::test {
namespace {

constexpr int kColumns = 96;
constexpr int kRows = 72;

// Colours of a kColumns x kRows grid of camera rays over the current camera's field of view.
std::vector<Vec3> renderGrid(bool sse) {
    UseAsm path(sse ? 1 : 0);
    seedRandom(12345);
    prepareCameraFrame();
    const Camera& c = camera();
    const Vec3 forward = normalize(sub(c.lookAtPoint, c.eyePosition));
    const Vec3 right = normalize(cross(forward, c.upVector));
    const Vec3 up = cross(right, forward);
    const float halfHeight = std::tan(0.5f * c.fieldOfView);
    std::vector<Vec3> colours;
    PrimaryRay ray;
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const float x = (2.0f * (column + 0.5f) / kColumns - 1.0f) * halfHeight * kColumns / kRows;
            const float y = (2.0f * (row + 0.5f) / kRows - 1.0f) * halfHeight;
            ray.direction = normalize(add(forward, add(scale(x, right), scale(y, up))));
            colours.push_back(traceCameraRay(ray));
        }
    }
    ++world().frameStamp;
    return colours;
}

bool sameColour(const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
bool black(const Vec3& c) { return c.x == 0.0f && c.y == 0.0f && c.z == 0.0f; }

TEST(SseRender, EveryDemoSceneRendersTheSameOnBothPaths) {
    for (int sceneId = 1; sceneId <= kSceneCount; ++sceneId) {
        loadScene(sceneId);
        for (const double clockMs : {0.0, 1700.0}) {
            animateScene(clockMs);
            placeEyeOnOrbit();
            const std::vector<Vec3> portable = renderGrid(false);
            const std::vector<Vec3> sse = renderGrid(true);
            int differing = 0, lit = 0;
            for (size_t k = 0; k < portable.size(); ++k) {
                if (!sameColour(portable[k], sse[k])) ++differing;
                if (!black(portable[k])) ++lit;
            }
            // Grazing rays are a tiny fraction of the picture; a wrong routine would change many.
            EXPECT_LE(differing, static_cast<int>(portable.size() / 500))
                << "scene " << sceneId << " at " << clockMs << " ms";
            EXPECT_GT(lit, static_cast<int>(portable.size() / 4)) << "scene " << sceneId;
        }
    }
    setScene(nullptr);
}

}  // namespace
}  // namespace lumo::test
