// Activation of the two servers: the camera handler and its settings panel.
#pragma once

#include "host/host_types.h"

#define HANDLER_VERSION 2
#define INTERFACE_VERSION 4

enum ActivationResult { ACTIVATION_OK = 0, ACTIVATION_BAD_VERSION = 1, ACTIVATION_NO_SERVICE = 2 };

extern "C" {
// local is the host's HandlerCallbackTable.
int HOSTCALL activateHandler(int version, GlobalLookupFn globalLookup, void* local,
                             void* serverData);
// local is the host's InterfaceRecord.
int HOSTCALL activateInterface(int version, GlobalLookupFn globalLookup, void* local,
                               void* serverData);
}
