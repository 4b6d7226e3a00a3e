// Basic types shared by every record and service table that crosses the host boundary.
#pragma once

#include <cstddef>
#include <cstdint>

// The host calls into the module, and the module into the host, with the C calling convention of
// 32-bit Windows. Every function pointer in a host table carries it explicitly.
#if defined(_WIN32) && !defined(_WIN64)
#define HOSTCALL __cdecl
#define VELLARY_HOST_ABI_32 1
#else
#define HOSTCALL
#define VELLARY_HOST_ABI_32 0
#endif

// Checks a host record's byte layout where it matters: in the 32-bit build the host loads.
#if VELLARY_HOST_ABI_32
#define HOST_LAYOUT(type, field, offset)                                                           \
    static_assert(offsetof(type, field) == (offset), #type "." #field)
#define HOST_SIZE(type, size) static_assert(sizeof(type) == (size), "sizeof " #type)
#else
#define HOST_LAYOUT(type, field, offset) static_assert(true, "")
#define HOST_SIZE(type, size) static_assert(true, "")
#endif

// Opaque host handles. The module never looks inside them; it only passes them back.
typedef struct HostItemTag* HostItemId;       // a scene item (the camera)
typedef struct ParamChannelTag* ParamChannel; // one animatable parameter ("LWVParmFuncs 2")
typedef struct ChannelGroupTag* ChannelGroup; // an item's group of channels
typedef struct XPanelTag* XPanel;             // a declarative settings panel ("LWXPanel")
typedef struct DrawAreaTag* DrawArea;         // a panel control's drawing area
typedef void* HostInstance;                   // what the host holds for one handler instance

// The host's global lookup: service name and the integer 0 -> the service's table, or null.
typedef void*(HOSTCALL* GlobalLookupFn)(const char* serviceName, int useMode);

// Error messages travel as constant texts; null means success.
typedef const char* HostError;
