// Preview callback: one 4x4 projection for the host's interactive view, carrying the camera's
// zoom, film shift, tilt and a lens offset at the host's current time.
#pragma once

#include "host/host_records.h"

extern "C" {
// Always returns 1. Refreshes the instance's values at the current time and its film size.
int HOSTCALL buildPreviewMatrix(HostInstance instance, double lensX, double lensY,
                                Matrix4d* projection, const HostCameraRecord* camera);
}
