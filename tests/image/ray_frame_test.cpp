#include <gtest/gtest.h>

#include <cmath>

#include "image/frame_buffer.h"
#include "trace/view.h"

namespace lumo {
namespace {

void expectNear(const Vec3& v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, 1e-6f);
    EXPECT_NEAR(v.y, y, 1e-6f);
    EXPECT_NEAR(v.z, z, 1e-6f);
}

TEST(RayFrame, LandscapeFieldOfViewSpansTheHeight) {
    Camera cam;
    cam.eyePosition = vec3(0.0f, -7.0f, 0.0f);
    cam.lookAtPoint = vec3(0.0f, 0.0f, 0.0f);
    cam.upVector = vec3(0.0f, 0.0f, 1.0f);
    cam.fieldOfView = 0.5f;
    const float t = std::tan(0.25f);
    const RayFrame f = computeRayFrame(cam, 320, 240);
    // forward +y, up +z, right = forward x up = +x
    expectNear(f.cameraCorner, -t * 4.0f / 3.0f, 1.0f, -t);
    expectNear(f.rowStep, 0.0f, 0.0f, 2.0f * t / 240.0f);
    expectNear(f.columnStep, 2.0f * t * 4.0f / 3.0f / 320.0f, 0.0f, 0.0f);
    // The picture's vertical extent covers exactly the field of view.
    const Vec3 top = add(f.cameraCorner, scale(240.0f, f.rowStep));
    EXPECT_NEAR(std::atan2(top.z, top.y) - std::atan2(f.cameraCorner.z, f.cameraCorner.y), 0.5f, 1e-5f);
}

TEST(RayFrame, PortraitFieldOfViewSpansTheWidthAndUpIsOrthogonalised) {
    Camera cam;
    cam.eyePosition = vec3(0.0f, -7.0f, 7.0f);
    cam.lookAtPoint = vec3(0.0f, 0.0f, 0.0f);
    cam.upVector = vec3(0.0f, 0.0f, 1.0f);
    cam.fieldOfView = 0.8f;
    const float t = std::tan(0.4f);
    const RayFrame f = computeRayFrame(cam, 100, 200);
    const float s = std::sqrt(0.5f);
    // forward (0, s, -s); up (0, s, s); right (1, 0, 0)
    expectNear(f.columnStep, 2.0f * t / 100.0f, 0.0f, 0.0f);
    expectNear(f.rowStep, 0.0f, 2.0f * t * 2.0f / 200.0f * s, 2.0f * t * 2.0f / 200.0f * s);
    expectNear(f.cameraCorner, -t, s - 2.0f * t * s, -s - 2.0f * t * s);
}

TEST(FrameBufferLayout, ResizeClearsAndKeepsOneSpareRowAndColumn) {
    FrameBuffer fb;
    fb.resize(800, 600);
    EXPECT_EQ(fb.pixels.size(), 801u * 601u);
    fb.at(2, 3) = 0xABCDEFu;
    EXPECT_EQ(fb.pixels[2 * 801 + 3], 0xABCDEFu);
    fb.resize(320, 240);
    EXPECT_EQ(fb.pixels.size(), 321u * 241u);
    for (uint32_t p : fb.pixels) ASSERT_EQ(p, 0u);
    fb.resize(0, 0);
    EXPECT_EQ(fb.pixels.size(), 1u);
}

}  // namespace
}  // namespace lumo
