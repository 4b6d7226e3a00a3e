// The host camera's focus distance and f-stop at a time, as the render and preview paths use them.
#pragma once

#include "host/host_types.h"

struct LensAtTime {
    double focusDistance; // host units
    double fStop;
    bool pinhole; // no aperture: the host has no "LW Camera Info 5"
};

// Asks "LW Camera Info 5" for the focus distance, then the f-stop. Without that service the
// camera is a pinhole focused at 1.0, so every ray still has a finite focus point.
LensAtTime lensAtTime(HostItemId cameraItem, double time);
