// The exported descriptor. Compiled once per build variant: the server name carries the build.
#include "host/module_descriptor.h"

#include "host/activation.h"
#include "host/build_variant.h"

namespace {
// Both servers point to this one string.
constexpr char kServerName[] = VELLARY_SERVER_NAME;

constinit const ServerRecord serverTable[] = {
    {CLASS_CAMERA_HANDLER, kServerName, activateHandler, nullptr},
    {CLASS_CAMERA_INTERFACE, kServerName, activateInterface, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};
} // namespace

extern "C" {

void* HOSTCALL moduleStartup(void) {
    return reinterpret_cast<void*>(4);
}

void HOSTCALL moduleShutdown(void* /*hostArgument*/) {}

// The host finds the module through this symbol alone. Constant data: nothing runs on load.
constinit const ModuleDescriptor _mod_descrip = {
    MODULE_SYNC_WORD,     MODULE_DESCRIPTOR_VERSION,
    MODULE_PLATFORM_WORD, moduleStartup,
    moduleShutdown,       serverTable,
};
}
