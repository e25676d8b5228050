// Pan and fly: the orbit centre moves across the view or with the eye, timed by the render loop's clock.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "app/camera_orbit.h"
#include "app/commands.h"
#include "app/frame_steps.h"
#include "app/render_loop.h"
#include "support/program_fixture.h"

namespace lumo {
namespace {

using namespace std::chrono_literals;
using CameraMoveTest = test::ProgramTest;

TEST_F(CameraMoveTest, PanMovesTheCentreByTheDraggedAmountAtItsDepth) {
    Orbit& o = orbit();
    o.azimuth = 0.0f;  // the eye on the -y side, looking along +y: right is +x, up is +z
    o.elevation = 0.0f;
    o.distance = 10.0f;
    const float unitsPerPixel = 2.0f * 10.0f * std::tan(0.5f * o.fieldOfView) / 300.0f;  // shorter side 300
    panBy(o, 30, 0, 400, 300);  // the scene follows the pointer to the right: the centre goes left
    EXPECT_NEAR(o.shift.x, -30.0f * unitsPerPixel, 1e-6f);
    EXPECT_NEAR(o.shift.y, 0.0f, 1e-6f);
    panBy(o, 0, 20, 400, 300);  // down: the centre goes up
    EXPECT_NEAR(o.shift.z, 20.0f * unitsPerPixel, 1e-6f);

    // The frame's camera: centre, look-at point and eye all moved by the shift.
    takeFrameState(program);
    const Camera& start = program.render.scene->camera;
    const Camera& c = program.render.view.camera;
    EXPECT_FLOAT_EQ(c.orbitCentre.x, start.orbitCentre.x + o.shift.x);
    EXPECT_FLOAT_EQ(c.lookAtPoint.z, start.lookAtPoint.z + o.shift.z);
    execute(kCmdResetCamera);
    EXPECT_TRUE(orbit().unmoved());
    takeFrameState(program);
    EXPECT_EQ(c.lookAtPoint.z, start.lookAtPoint.z);
}

TEST_F(CameraMoveTest, FlyingMovesByTheLoopsClockWhileAKeyIsHeldAndLookingKeepsTheEye) {
    std::atomic<int64_t> nowMs{0};
    const auto epoch = std::chrono::steady_clock::time_point{} + 1000h;
    std::atomic<int> produced{0};
    RenderLoop loop(
        program, [] {},
        [&](FrameBuffer& fb, const PresentFrame& present) {
            ++produced;
            present(fb);
            return FrameReport{};
        },
        [&] { return epoch + std::chrono::milliseconds(nowMs.load()); });
    settings().animationOn = 0;
    execute(kCmdFly);
    ASSERT_TRUE(stateOf(kCmdFly).checked);
    orbit().azimuth = 0.0f;  // forward is +y
    orbit().elevation = 0.0f;
    program.shared.fly.speed = 2.0f;
    loop.start();
    loop.setViewSize(8, 6);
    FrameBuffer shown;
    auto framesBeyond = [&](int count) {
        const int target = produced + count;
        while (produced < target) {
            loop.collect(shown);
            std::this_thread::sleep_for(1ms);
        }
    };
    loop.edit([&] { program.shared.fly.keys = Fly::kForward | Fly::kLeft; });
    framesBeyond(2);  // held: frames go on without changes; the clock stands still, so no move yet
    nowMs = 1500;
    framesBeyond(3);
    loop.edit([&] { program.shared.fly.keys = 0; });
    framesBeyond(1);
    loop.stop();
    // 1.5 s at 2 units/s along forward + left (normalised), however many frames there were.
    const float along = 3.0f / std::sqrt(2.0f);
    EXPECT_NEAR(orbit().shift.x, -along, 1e-5f);
    EXPECT_NEAR(orbit().shift.y, along, 1e-5f);
    EXPECT_EQ(orbit().shift.z, 0.0f);

    // Looking around turns the view about the eye.
    const Vec3 eye = add(orbit().shift, scale(orbit().distance, eyeDirection(orbit())));
    lookFromEye(orbit(), 1.0f, 0.4f);
    const Vec3 after = add(orbit().shift, scale(orbit().distance, eyeDirection(orbit())));
    EXPECT_NEAR(after.x, eye.x, 1e-5f);
    EXPECT_NEAR(after.y, eye.y, 1e-5f);
    EXPECT_NEAR(after.z, eye.z, 1e-5f);
    EXPECT_TRUE(orbit().lookAtCentre);
}

}  // namespace
}  // namespace lumo
