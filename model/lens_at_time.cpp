#include "model/lens_at_time.h"

#include "host/host_services.h"

LensAtTime lensAtTime(HostItemId cameraItem, double time) {
    const CameraInfo* cameraInfo = hostServices.cameraInfo;
    if (cameraInfo == nullptr) {
        return LensAtTime{1.0, 0.0, true};
    }
    LensAtTime lens;
    lens.focusDistance = cameraInfo->focusDistance(cameraItem, time);
    lens.fStop = cameraInfo->fStop(cameraItem, time);
    lens.pinhole = false;
    return lens;
}
