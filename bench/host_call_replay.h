// The stand-in host's side of a new-frame or preview call on its own: the same host calls, with
// the same arguments and in the same order, made directly on the host's service tables with no
// module code between them. Timing this gives what answering the module costs the host, so
// the benchmarks can tell the module's share of a frame from the host's.
#pragma once

#include <string>

#include "host/host_types.h"
#include "model/camera_instance.h"

namespace vbench {

// The calls buildSampleTable makes for a frame of motionSteps steps from start to
// start + duration: per entry, the five settings, focus distance and f-stop, then position,
// right, up and forward of the camera item.
void answerSampleTableCalls(const CameraInstance& camera, HostItemId item, double start,
                            double duration, int motionSteps);

// The calls buildPreviewMatrix makes: the host's current time, the five settings and the lens.
void answerPreviewCalls(GlobalLookupFn globalLookup, const CameraInstance& camera, HostItemId item);

} // namespace vbench
