// Saving an instance with the scene and loading it back: the five channels in parameter order,
// then one block of the five current values in single precision.
#pragma once

#include "host/host_records.h"

extern "C" {
// Null on success, else the first failing channel load's result, unchanged.
HostError HOSTCALL loadInstance(HostInstance instance, const SceneLoadRecord* scene);
// Null on success, else the first failing channel save's result, unchanged.
HostError HOSTCALL saveInstance(HostInstance instance, const SceneSaveRecord* scene);
}
