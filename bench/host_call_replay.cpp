#include "bench/host_call_replay.h"

#include <benchmark/benchmark.h>

#include "host/service_tables.h"
#include "hostsim/camera_items.h"
#include "hostsim/param_channels.h"

namespace vbench {

namespace {

void answerSettings(const CameraInstance& camera, double time) {
    const VParmFuncs* vparm = hostsim::ParamChannels::table();
    const ParamChannel channels[] = {camera.zoomChannel, camera.hShiftChannel, camera.vShiftChannel,
                                     camera.tiltDirectionChannel, camera.tiltAngleChannel};
    double buffer[3] = {0.0, 0.0, 0.0};
    for (ParamChannel channel : channels) {
        vparm->getValue(channel, time, nullptr, buffer);
        benchmark::DoNotOptimize(buffer[0]);
    }
}

void answerLens(HostItemId item, double time) {
    const CameraInfo* cameraInfo = hostsim::CameraItems::cameraTable();
    benchmark::DoNotOptimize(cameraInfo->focusDistance(item, time));
    benchmark::DoNotOptimize(cameraInfo->fStop(item, time));
}

void answerEntry(const CameraInstance& camera, HostItemId item, double time) {
    answerSettings(camera, time);
    answerLens(item, time);
    const ItemInfo* itemInfo = hostsim::CameraItems::itemTable();
    for (int code : {ITEM_POSITION, ITEM_RIGHT, ITEM_UP, ITEM_FORWARD}) {
        DVec3 v = {0.0, 0.0, 0.0};
        itemInfo->vector(item, code, time, &v);
        benchmark::DoNotOptimize(v);
    }
}

} // namespace

void answerSampleTableCalls(const CameraInstance& camera, HostItemId item, double start,
                            double duration, int motionSteps) {
    const unsigned n = 4u * static_cast<unsigned>(motionSteps);
    for (unsigned i = 0; i <= n; ++i) {
        answerEntry(camera, item, n == 0 ? start : start + (duration / n) * i);
    }
}

void answerPreviewCalls(GlobalLookupFn globalLookup, const CameraInstance& camera,
                        HostItemId item) {
    const TimeInfo* timeInfo = static_cast<const TimeInfo*>(globalLookup(SERVICE_TIME_INFO, 0));
    const double time = timeInfo != nullptr ? timeInfo->time : 0.0;
    answerSettings(camera, time);
    answerLens(item, time);
}

} // namespace vbench
