#include <cmath>

#include "image/frame.h"

namespace lumo {

RayFrame& rayFrame() {
    static RayFrame frame;
    return frame;
}

RayFrame computeRayFrame(const Camera& camera, int width, int height) {
    RayFrame frame;
    if (width <= 0 || height <= 0) return frame;
    const Vec3 forward = normalize(sub(camera.lookAtPoint, camera.eyePosition));
    const float upAlongForward = static_cast<float>(dot(camera.upVector, forward));
    const Vec3 up = normalize(sub(camera.upVector, scale(upAlongForward, forward)));
    const Vec3 right = cross(forward, up);
    const float t = std::tan(camera.fieldOfView / 2.0f);
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    float horizontal, vertical;
    if (width < height) {
        horizontal = t;
        vertical = t * h / w;
    } else {
        horizontal = t * w / h;
        vertical = t;
    }
    frame.cameraCorner = sub(sub(forward, scale(horizontal, right)), scale(vertical, up));
    frame.rowStep = scale(2.0f * vertical / h, up);
    frame.columnStep = scale(2.0f * horizontal / w, right);
    return frame;
}

}  // namespace lumo
