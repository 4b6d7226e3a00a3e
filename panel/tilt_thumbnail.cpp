#include "panel/tilt_thumbnail.h"

#include <cmath>

#include "host/host_services.h"
#include "model/camera_instance.h"
#include "panel/panel_tables.h"

namespace {

constexpr double kCircleCenterX = 40.0;
constexpr double kCircleCenterY = 30.0;
constexpr double kCircleRadius = 29.0;
constexpr int kCircleChords = 36;
constexpr std::uint32_t kCircleColor = 0x01C8C8C8;
// The marker's corner stays where part of the 5 x 5 box is inside the 100 x 100 area.
constexpr double kMarkerCornerMin = -4.0;
constexpr double kMarkerCornerMax = 99.0;

int truncated(double v) {
    return static_cast<int>(v);
}

double clampedCorner(double v) {
    if (!(v >= kMarkerCornerMin)) {
        return kMarkerCornerMin; // NaN lands here too, but callers never pass one
    }
    return v > kMarkerCornerMax ? kMarkerCornerMax : v;
}

void drawCircle(const XPanelDrawFuncs* drawFuncs, DrawArea area, double pi) {
    Matrix4d step;
    mat4RotateZ(&step, pi / 18.0);
    // Each vertex is the previous one turned by 10 degrees, so rounding carries from chord to
    // chord exactly as the host's drawing has always shown it.
    DVec3 vertex = {0.0, kCircleRadius, 0.0};
    for (int chord = 0; chord < kCircleChords; ++chord) {
        const DVec3 next = mat4TransformPoint(&step, vertex);
        drawFuncs->line(area, kCircleColor, truncated(vertex.x + kCircleCenterX),
                        truncated(vertex.y + kCircleCenterY), truncated(next.x + kCircleCenterX),
                        truncated(next.y + kCircleCenterY));
        vertex = next;
    }
}

} // namespace

ThumbnailMarker thumbnailMarkerCorner(double tiltAngle, double tiltDirection, double pi) {
    // A NaN tilt shows as no tilt; a negative one puts the marker on the opposite side.
    if (std::isnan(tiltAngle) || std::isnan(tiltDirection)) {
        tiltAngle = 0.0;
        tiltDirection = 0.0;
    }
    const double magnitude = std::fabs(tiltAngle);
    double radius = std::sqrt((magnitude + magnitude) / pi) * kCircleRadius;
    if (tiltAngle < 0.0) {
        radius = -radius;
    }
    Matrix4d turn;
    mat4RotateZ(&turn, tiltDirection);
    DVec3 offset = mat4TransformPoint(&turn, DVec3{0.0, radius, 0.0});
    // An infinite tilt or direction leaves no meaningful bearing: treat it as no tilt.
    if (std::isnan(offset.x) || std::isnan(offset.y)) {
        offset = DVec3{0.0, 0.0, 0.0};
    }
    return ThumbnailMarker{truncated(clampedCorner(38.0 - offset.x)),
                           truncated(clampedCorner(28.0 - offset.y))};
}

extern "C" void HOSTCALL drawTiltThumbnail(XPanel panel, std::uint32_t /*controlId*/, DrawArea area,
                                           int /*width*/, int /*height*/) {
    const XPanelFuncs* xpanel = hostServices.xpanelFuncs;
    const CameraInstance* camera =
        static_cast<const CameraInstance*>(xpanel->getUserData(panel, PANEL_ID_PANEL));
    const XPanelDrawFuncs* drawFuncs = xpanel->drawFuncs;
    const ThumbnailMarker marker =
        thumbnailMarkerCorner(camera->tiltAngle, camera->tiltDirection, hostServices.pi);

    drawFuncs->box(area, 240, 240, 240, 0, 0, 100, 100);
    drawCircle(drawFuncs, area, hostServices.pi);
    drawFuncs->box(area, 200, 200, 200, 0, 30, 81, 1);
    drawFuncs->box(area, 200, 200, 200, 40, 0, 1, 61);
    drawFuncs->box(area, 255, 100, 100, marker.x, marker.y, 5, 5);
}
