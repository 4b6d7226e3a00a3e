// The module's face to the host: the exported descriptor and its server table.
#pragma once

#include "host/host_types.h"

#define MODULE_SYNC_WORD 0x04121994u
#define MODULE_DESCRIPTOR_VERSION 3u
#define MODULE_PLATFORM_WORD 0x300u

#define CLASS_CAMERA_HANDLER "CameraHandler"
#define CLASS_CAMERA_INTERFACE "CameraInterface"

// Server activation: (version, global lookup, the host's record, a word the module ignores).
typedef int(HOSTCALL* ActivateFn)(int version, GlobalLookupFn globalLookup, void* local,
                                  void* serverData);

struct ServerRecord {
    const char* className;
    const char* serverName;
    ActivateFn activate;
    void* reserved; // null in every record
};
HOST_SIZE(ServerRecord, 16);

struct ModuleDescriptor {
    std::uint32_t syncWord;
    std::uint32_t version;
    std::uint32_t platform;
    void*(HOSTCALL* startup)(void);
    void(HOSTCALL* shutdown)(void* hostArgument);
    const ServerRecord* servers;
};
HOST_LAYOUT(ModuleDescriptor, startup, 12);
HOST_LAYOUT(ModuleDescriptor, shutdown, 16);
HOST_LAYOUT(ModuleDescriptor, servers, 20);
HOST_SIZE(ModuleDescriptor, 24);

#define MODULE_DESCRIPTOR_SYMBOL "_mod_descrip"

// The Windows builds export through an explicit export list; elsewhere every symbol is hidden
// but this one.
#if defined(_WIN32)
#define MODULE_EXPORT
#else
#define MODULE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
// Called once when the host loads the module; returns 4.
void* HOSTCALL moduleStartup(void);
// Does nothing with whatever it is given; also the settings panel's empty callback.
void HOSTCALL moduleShutdown(void* hostArgument);
// The only export of the module.
extern MODULE_EXPORT const ModuleDescriptor _mod_descrip;
}
