#include "model/preview_projection.h"

#include <cmath>

#include "host/host_services.h"
#include "model/camera_instance.h"
#include "model/lens_at_time.h"

namespace {

// Far plane of the preview's depth range, host units.
constexpr double kFarDistance = 65000.0;

// Aperture radius for the preview; an f-stop the host can't mean (0, negative, not finite)
// shows the view through a pinhole instead of dividing by it.
double previewApertureRadius(const LensAtTime& lens, double focalLength) {
    if (lens.pinhole || !(lens.fStop > 0.0) || !std::isfinite(lens.fStop)) {
        return 0.0;
    }
    return focalLength / lens.fStop * 0.5;
}

// r * offset / D: the lens offset moves points off the focus distance only. Without a focus
// distance there is nothing to divide by, so the term is dropped.
double lensShiftAtFocus(double apertureRadius, double offset, double focusDistance) {
    if (focusDistance == 0.0) {
        return 0.0;
    }
    return apertureRadius * offset / focusDistance;
}

} // namespace

extern "C" int HOSTCALL buildPreviewMatrix(HostInstance instance, double lensX, double lensY,
                                           Matrix4d* projection, const HostCameraRecord* camera) {
    CameraInstance* cam = static_cast<CameraInstance*>(instance);
    const double time = currentHostTime();
    sampleParameters(cam, time);
    const LensAtTime lens = lensAtTime(camera->cameraItem, time);
    cam->filmWidth = camera->filmWidth;
    cam->filmHeight = camera->filmHeight;

    const double focalLength = cam->filmHeight * cam->zoomFactor * 0.5;
    const double r = previewApertureRadius(lens, focalLength);
    const double x0 = -(cam->filmWidth * lensX);
    const double y0 = -(cam->filmWidth * lensY);

    // The tilt axis is x turned about z by -tiltDirection; d is z after the tilt.
    Matrix4d aboutZ;
    const DVec3 tiltAxis =
        mat4TransformPoint(mat4RotateZ(&aboutZ, -cam->tiltDirection), DVec3{1.0, 0.0, 0.0});
    Matrix4d tilt;
    mat4RotateAxis(&tilt, &tiltAxis, cam->tiltAngle);
    const DVec3 d = mat4TransformPoint(&tilt, DVec3{0.0, 0.0, 1.0});
    const double n = d.z * focalLength;

    const double D = lens.focusDistance;
    Matrix4d perspective = {{
        n, 0.0, 0.0, 0.0,                                                                 //
        0.0, n, 0.0, 0.0,                                                                 //
        lensShiftAtFocus(r, x0, D) + (cam->hShift * cam->filmWidth - d.x * focalLength),  //
        lensShiftAtFocus(r, y0, D) + (cam->vShift * cam->filmHeight - d.y * focalLength), //
        -(kFarDistance + n) / (kFarDistance - n), -1.0,                                   //
        r * x0, r * y0, -(n * (2.0 * kFarDistance)) / (kFarDistance - n), 0.0,            //
    }};
    mat4Multiply(&perspective, &tilt, projection);
    return 1;
}
