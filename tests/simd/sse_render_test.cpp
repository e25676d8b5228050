// Whole pictures on both paths: every demo scene, each camera ray of a grid traced and shaded with
// the default shader (shadows, reflections and glass included), at two animation times. The paths
// may differ only on the few rays that graze an edge or a sphere exactly.
#include <cmath>
#include <vector>

#include "shade/shader.h"
#include "simd_test_util.h"
#include "support/render_support.h"

namespace lumo::test {
namespace {

constexpr int kColumns = 96;
constexpr int kRows = 72;

// Colours of a kColumns x kRows grid of camera rays over the view's field of view, on the chosen path.
std::vector<Vec3> renderGrid(TestRender& r, bool sse) {
    r.params.useSimd = sse;
    r.placeEye(r.view.camera.eyePosition, kColumns, kRows);
    const TraceContext ctx = r.context();
    TestCameraRay camera(*r.scene);
    const Camera& c = r.view.camera;
    const Vec3 forward = normalize(sub(c.lookAtPoint, c.eyePosition));
    const Vec3 right = normalize(cross(forward, c.upVector));
    const Vec3 up = cross(right, forward);
    const float halfHeight = std::tan(0.5f * c.fieldOfView);
    std::vector<Vec3> colours;
    PrimaryRay& ray = camera.ray();
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const float x = (2.0f * (column + 0.5f) / kColumns - 1.0f) * halfHeight * kColumns / kRows;
            const float y = (2.0f * (row + 0.5f) / kRows - 1.0f) * halfHeight;
            ray.direction = normalize(add(forward, add(scale(x, right), scale(y, up))));
            colours.push_back(shadeCameraRay(ctx, r.view, ray));
        }
    }
    return colours;
}

bool sameColour(const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
bool black(const Vec3& c) { return c.x == 0.0f && c.y == 0.0f && c.z == 0.0f; }

TEST(SseRender, EveryDemoSceneRendersTheSameOnBothPaths) {
    for (int sceneId = 1; sceneId <= kSceneCount; ++sceneId) {
        TestRender r(buildScene(sceneId));
        for (const double clockMs : {0.0, 1700.0}) {
            animateScene(*r.scene, clockMs);
            placeEyeOnOrbit(r.view.camera);
            const std::vector<Vec3> portable = renderGrid(r, false);
            const std::vector<Vec3> sse = renderGrid(r, true);
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
}

}  // namespace
}  // namespace lumo::test
