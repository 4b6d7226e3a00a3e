// Making, copying, describing and freeing camera instances, each with its five channels.
#pragma once

#include "host/host_records.h"

#define MESSAGE_NO_INSTANCE_MEMORY "Couldn't allocate instance data."
#define INSTANCE_DESCRIPTION "CorbishCamera"
#define DEFAULT_ZOOM_FACTOR 2.6217

// Makes one channel in a channel group, set up with its name and initial value; null when the
// host refuses it.
ParamChannel createParamChannel(int typeCode, const char* name, ChannelGroup group,
                                const double* initialValue);

extern "C" {
HostInstance HOSTCALL createInstance(void* privateWord, HostItemId item, HostError* error);
void HOSTCALL destroyInstance(HostInstance instance);
// The destination keeps its own channels and takes over the source's animation and values.
HostError HOSTCALL copyInstance(HostInstance destination, HostInstance source);
const char* HOSTCALL describeInstance(HostInstance instance);
unsigned int HOSTCALL handlerFlags(HostInstance instance);
}
