#include "host/host_services.h"

constinit HostServices hostServices = {};

void* lookupHostService(const char* serviceName) {
    if (hostServices.globalLookup == nullptr) {
        return nullptr;
    }
    return hostServices.globalLookup(serviceName, 0);
}

double currentHostTime() {
    const TimeInfo* timeInfo = static_cast<const TimeInfo*>(lookupHostService(SERVICE_TIME_INFO));
    return timeInfo != nullptr ? timeInfo->time : 0.0;
}
