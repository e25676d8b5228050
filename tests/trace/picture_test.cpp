// Whole pictures of the demo scenes traced through traceCameraRay from the scenes' own camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "scene/demo_scenes.h"
#include "shade/shader.h"
#include "support/trace_scene.h"

namespace lumo::test {
namespace {

// The camera's ray directions: forward, up and right, and the half-width of a square picture.
struct Directions {
    Vec3 f, u, r;
    float halfWidth;

    explicit Directions(const Camera& c) {
        f = normalize(sub(c.lookAtPoint, c.eyePosition));
        u = normalize(sub(c.upVector, scaleByDouble(dot(c.upVector, f), f)));
        r = cross(f, u);
        halfWidth = std::tan(c.fieldOfView / 2.0f);
    }
    // sx, sy in [-1, 1]: left to right, bottom to top.
    Vec3 operator()(float sx, float sy) const {
        return normalize(add(f, add(scale(sx * halfWidth, r), scale(sy * halfWidth, u))));
    }
};

class Pictures : public testing::Test {
protected:
    static constexpr int kSize = 24;

    // Demo scene `id` from its start camera with the eye on its orbit; the shaders' switches at their
    // start values.
    void showScene(int id) {
        shown = std::make_unique<TraceScene>(buildScene(id));
        placeEyeOnOrbit(shown->view.camera);
        shown->placeEye(shown->view.camera.eyePosition);
    }
    Directions directions() const { return Directions(shown->view.camera); }

    // The object one camera ray hits, or null.
    const SceneObject* objectAt(const Directions& d, float sx, float sy) { return shown->traceAlong(d(sx, sy)); }
    Vec3 colourAt(const Directions& d, float sx, float sy, ShaderMode shader) {
        shown->params.shader = shader;
        shown->ray.direction = d(sx, sy);
        return shadeCameraRay(shown->context(), shown->view, shown->ray);
    }
    static float pixelCoord(int i) { return (2.0f * static_cast<float>(i) + 1.0f) / kSize - 1.0f; }

    // Ground pixels whose green and red are equal: the grey squares of a checker board.
    int greySquarePixels(const char* groundName, int& groundPixels) {
        const Directions d = directions();
        int grey = 0;
        groundPixels = 0;
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                const float sx = pixelCoord(x), sy = pixelCoord(y);
                const SceneObject* o = objectAt(d, sx, sy);
                if (!o || o->material->name != groundName || o->type != kParallelogram) continue;
                ++groundPixels;
                const Vec3 c = colourAt(d, sx, sy, kShaderPhong);
                if (std::fabs(c.y - c.x) < 1e-4f) ++grey;
            }
        }
        return grey;
    }

    std::unique_ptr<TraceScene> shown;
};

const std::string& materialName(const SceneObject* o) {
    static const std::string none = "(nothing)";
    return o ? o->material->name : none;
}

TEST_F(Pictures, CornellBoxShowsBackWallRedLeftGreenRight) {
    showScene(9);
    const Directions v = directions();
    const SceneObject* back = objectAt(v, 0.0f, 0.4f);  // above both blocks, below the light
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->material->name, "White");
    EXPECT_NEAR(back->patch.origin.y, -1.5f, 1e-6f);
    EXPECT_NEAR(back->patch.normal.y, 1.0f, 1e-6f);

    EXPECT_EQ(materialName(objectAt(v, -0.9f, 0.3f)), "Red");
    EXPECT_EQ(materialName(objectAt(v, 0.9f, 0.3f)), "Green");

    const Vec3 left = colourAt(v, -0.9f, 0.3f, kShaderPhong);
    const Vec3 right = colourAt(v, 0.9f, 0.3f, kShaderPhong);
    EXPECT_GT(left.x, 2.0f * left.y);
    EXPECT_GT(right.y, 2.0f * right.x);
}

// Independent oracle: does the ray from the eye hit any sphere of the scene?
bool hitsAnySphere(const Scene& scene, const Vec3& eye, const Vec3& d) {
    for (const SceneObject& o : scene.objects) {
        if (o.type != kSphere) continue;
        const Vec3 oc = sub(eye, o.sphere.centre);
        const double b = dot(oc, d);
        const double c = dot(oc, oc) - o.sphere.radiusSquared;
        if (b * b - c > 0.0 && -b - std::sqrt(b * b - c) > 0.0) return true;
    }
    return false;
}

TEST_F(Pictures, SpheresSceneIsBlackExactlyWhereEverySphereIsMissed) {
    showScene(6);
    const Directions v = directions();
    int misses = 0, hits = 0;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const Vec3 c = colourAt(v, pixelCoord(x), pixelCoord(y), kShaderPhong);
            const bool black = c.x == 0.0f && c.y == 0.0f && c.z == 0.0f;
            const bool expectHit =
                hitsAnySphere(shown->scene, shown->view.camera.eyePosition, v(pixelCoord(x), pixelCoord(y)));
            EXPECT_EQ(black, !expectHit) << x << "," << y;
            (expectHit ? hits : misses)++;
        }
    }
    EXPECT_GT(hits, 0);
    EXPECT_GT(misses, 0);
}

TEST_F(Pictures, AreaLightGroundHasNoCheckerBoard) {
    showScene(7);
    int ground = 0;
    EXPECT_EQ(greySquarePixels("Ground", ground), 0);
    EXPECT_GT(ground, 50);

    showScene(1);  // the checkered ground of the first scene does show grey squares
    const int grey = greySquarePixels("Ground", ground);
    EXPECT_GT(grey, 10);
    EXPECT_LT(grey, ground);
}

TEST_F(Pictures, EveryScenePaintsWithEveryShader) {
    const ShaderMode shaders[] = {kShaderDepth, kShaderNormals, kShaderReflection,
                                  kShaderUV,    kShaderSimple,  kShaderPhong};
    const char* names[] = {"Depth", "Normals", "Reflection", "UV", "Simple", "Phong"};
    for (int id = 1; id <= 9; ++id) {
        showScene(id);
        const Directions v = directions();
        for (int s = 0; s < 6; ++s) {
            float brightest = 0.0f;
            bool finite = true;
            const uint64_t samplesBefore = shown->stats.samples;
            for (int y = 0; y < 16; ++y) {
                for (int x = 0; x < 16; ++x) {
                    const Vec3 c =
                        colourAt(v, (2.0f * x + 1.0f) / 16 - 1.0f, (2.0f * y + 1.0f) / 16 - 1.0f, shaders[s]);
                    finite = finite && std::isfinite(c.x) && std::isfinite(c.y) && std::isfinite(c.z);
                    brightest = std::max({brightest, c.x, c.y, c.z});
                }
            }
            EXPECT_GT(brightest, 0.01f) << "scene " << id << ", " << names[s];
            EXPECT_TRUE(finite) << "scene " << id << ", " << names[s];
            EXPECT_EQ(shown->stats.samples - samplesBefore, 256u);
        }
    }
}

}  // namespace
}  // namespace lumo::test
