// The module-wide table of camera geometry at sub-frame times, rebuilt by every new-frame call
// and read by every ray evaluation, whichever instance it was built for.
#pragma once

#include <cstdint>

#include "host/host_records.h"
#include "model/camera_instance.h"
#include "model/vec_math.h"

// Camera geometry at one sub-frame time. A film position (a, b) maps to the point
// (a + shiftX) * focusAxisX + (b + shiftY) * focusAxisY + focusCenter of the plane of focus,
// relative to position; a lens sample (u, v) to position + u * apertureX + v * apertureY.
struct MotionSample {
    double shiftX;     // film units
    double shiftY;     // film units
    DVec3 focusAxisX;  // displacement on the plane of focus per film unit, horizontally
    DVec3 focusAxisY;  // the same vertically
    DVec3 focusCenter; // forward axis scaled to the focus distance; never tilted
    DVec3 apertureX;   // right axis scaled to the aperture radius; never tilted
    DVec3 apertureY;   // up axis scaled to the aperture radius; never tilted
    DVec3 forward;     // forward axis exactly as the host reported it
    DVec3 position;    // camera position exactly as the host reported it
};
static_assert(sizeof(MotionSample) == 23 * sizeof(double), "MotionSample is 23 doubles");

struct SampleTable {
    MotionSample* entries; // count + 1 entries in one heap block; null before the first frame
    std::uint32_t count;   // N = 4 * motion steps
    double start;          // host time of entry 0
    double duration;       // host time span of the frame
};

extern SampleTable sampleTable;

extern "C" {
// New-frame callback: null on success, "Can't allocate Memory" when the table can't be made.
HostError HOSTCALL buildSampleTable(HostInstance instance, const FrameTiming* timing,
                                    const HostCameraRecord* camera);
}

#define MESSAGE_NO_TABLE_MEMORY "Can't allocate Memory"
