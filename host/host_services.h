// The module-wide set of host services. Written only by the two activations, read by every
// callback. Zero until the first activation.
#pragma once

#include "host/service_tables.h"

struct HostServices {
    GlobalLookupFn globalLookup;     // the lookup given to the latest activation
    const VParmFuncs* vparmFuncs;    // "LWVParmFuncs 2"
    const ItemInfo* itemInfo;        // "LW Item Info 4"
    const CameraInfo* cameraInfo;    // "LW Camera Info 5"; may be null
    InstanceUpdateFn instanceUpdate; // "Instance Update"; may be null
    const XPanelFuncs* xpanelFuncs;  // "LWXPanel"
    double pi;                       // 4 * atan(1), set by handler activation
};

extern HostServices hostServices;

// Looks a service up through the latest activation's global lookup; null without one.
void* lookupHostService(const char* serviceName);

// The host's current time from "LW Time Info", looked up anew; 0 when the host lacks it.
double currentHostTime();
