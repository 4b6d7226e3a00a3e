// The panel's small drawing of the tilt: a circle with a crosshair and a marker whose distance
// from the centre grows with the tilt angle and whose bearing follows the tilt direction.
#pragma once

#include "host/service_tables.h"

struct ThumbnailMarker {
    int x; // corner of the 5 x 5 marker, pixels of the 100 x 100 drawing area
    int y;
};

// Where the marker's corner goes for a tilt; always a defined, partly visible position.
ThumbnailMarker thumbnailMarkerCorner(double tiltAngle, double tiltDirection, double pi);

extern "C" {
void HOSTCALL drawTiltThumbnail(XPanel panel, std::uint32_t controlId, DrawArea area, int width,
                                int height);
}
