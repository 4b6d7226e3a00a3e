// Value exchange between the host's panel and one camera instance.
#pragma once

#include "host/service_tables.h"

#define UPDATE_CLASS_NAME "CameraHandler"

extern "C" {
// The control's channel, the address of the refreshed focal-length read-out, or null.
void* HOSTCALL panelGet(HostInstance instance, std::uint32_t controlId);
// Stores the double at value into the control's field and notifies the host; 1, or 0 for an id
// that is not one of the five parameters or a null value address.
int HOSTCALL panelSet(HostInstance instance, std::uint32_t controlId, const void* value);
}
