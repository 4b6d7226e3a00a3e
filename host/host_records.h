// Records the host and the module exchange by address. Only the words the module uses are
// named; the rest of each record is the host's and is kept as opaque filler so the named fields
// sit at the host's byte offsets in the 32-bit build.
#pragma once

#include "host/host_types.h"
#include "model/vec_math.h"

// The camera item and its film, given to the preview, new-frame and ray callbacks.
struct HostCameraRecord {
    HostItemId cameraItem;                               // byte 0
    unsigned char hostPrivate[176 - sizeof(HostItemId)]; // the host's own words
    double filmWidth;                                    // byte 176
    double filmHeight;                                   // byte 184
};
HOST_LAYOUT(HostCameraRecord, cameraItem, 0);
HOST_LAYOUT(HostCameraRecord, filmWidth, 176);
HOST_LAYOUT(HostCameraRecord, filmHeight, 184);
HOST_SIZE(HostCameraRecord, 192);

// Timing of the frame about to be rendered, given to the new-frame callback.
struct FrameTiming {
    std::int32_t frame;       // byte 0, not used
    double start;             // byte 8, host time
    double duration;          // byte 16, host time
    double hostReserved;      // byte 24, not used
    std::int32_t motionSteps; // byte 32, motion-blur steps of the frame
};
HOST_LAYOUT(FrameTiming, frame, 0);
HOST_LAYOUT(FrameTiming, start, 8);
HOST_LAYOUT(FrameTiming, duration, 16);
HOST_LAYOUT(FrameTiming, hostReserved, 24);
HOST_LAYOUT(FrameTiming, motionSteps, 32);
HOST_SIZE(FrameTiming, 40);

// One camera ray, filled by the evaluate callback. The module writes these nine doubles only.
struct RayRecord {
    DVec3 origin;       // bytes 0-23, world coordinates, a point on the lens
    DVec3 direction;    // bytes 24-47
    DVec3 auxDirection; // bytes 48-71, content depends on the build
};
HOST_LAYOUT(RayRecord, origin, 0);
HOST_LAYOUT(RayRecord, direction, 24);
HOST_LAYOUT(RayRecord, auxDirection, 48);
HOST_SIZE(RayRecord, 72);

// Scene records: the host's reader and writer, passed to load and save.
typedef int(HOSTCALL* SceneReadFloatsFn)(void* readerData, float* values, int count);
typedef int(HOSTCALL* SceneWriteFloatsFn)(void* writerData, const float* values, int count);

struct SceneLoadRecord {
    void* hostWord0;              // byte 0, the host's
    void* readerData;             // byte 4, passed back to readFloats
    void* hostWords[7];           // bytes 8-35, the host's other operations
    SceneReadFloatsFn readFloats; // byte 36
};
HOST_LAYOUT(SceneLoadRecord, readerData, 4);
HOST_LAYOUT(SceneLoadRecord, readFloats, 36);
HOST_SIZE(SceneLoadRecord, 40);

struct SceneSaveRecord {
    void* hostWord0;                // byte 0, the host's
    void* writerData;               // byte 4, passed back to writeFloats
    void* hostWords[7];             // bytes 8-35, the host's other operations
    SceneWriteFloatsFn writeFloats; // byte 36
};
HOST_LAYOUT(SceneSaveRecord, writerData, 4);
HOST_LAYOUT(SceneSaveRecord, writeFloats, 36);
HOST_SIZE(SceneSaveRecord, 40);

// Per-instance callbacks of the camera handler. The host owns the table; activation fills it.
struct InstanceCallbackTable {
    // Private word handed back as create's first argument; the module stores the global lookup.
    void* privateWord;                                                                    // 0
    HostInstance(HOSTCALL* create)(void* privateWord, HostItemId item, HostError* error); // 4
    void(HOSTCALL* destroy)(HostInstance instance);                                       // 8
    HostError(HOSTCALL* copy)(HostInstance destination, HostInstance source);             // 12
    HostError(HOSTCALL* load)(HostInstance instance, const SceneLoadRecord* scene);       // 16
    HostError(HOSTCALL* save)(HostInstance instance, const SceneSaveRecord* scene);       // 20
    const char*(HOSTCALL* describe)(HostInstance instance);                               // 24
};
HOST_LAYOUT(InstanceCallbackTable, privateWord, 0);
HOST_LAYOUT(InstanceCallbackTable, create, 4);
HOST_LAYOUT(InstanceCallbackTable, destroy, 8);
HOST_LAYOUT(InstanceCallbackTable, copy, 12);
HOST_LAYOUT(InstanceCallbackTable, load, 16);
HOST_LAYOUT(InstanceCallbackTable, save, 20);
HOST_LAYOUT(InstanceCallbackTable, describe, 24);
HOST_SIZE(InstanceCallbackTable, 28);

// Camera-specific callbacks, the host's record given to "CameraHandler" activation.
typedef int(HOSTCALL* PreviewFn)(HostInstance instance, double lensX, double lensY,
                                 Matrix4d* projection, const HostCameraRecord* camera);
typedef HostError(HOSTCALL* NewFrameFn)(HostInstance instance, const FrameTiming* timing,
                                        const HostCameraRecord* camera);
typedef int(HOSTCALL* EvaluateRayFn)(HostInstance instance, double filmX, double filmY,
                                     double lensX, double lensY, double timeFraction,
                                     RayRecord* ray);
typedef unsigned int(HOSTCALL* HandlerFlagsFn)(HostInstance instance);

struct HandlerCallbackTable {
    InstanceCallbackTable* instance; // byte 0, points to the host's table; not replaced
    void* hostItemFuncs;             // byte 4, the host's, left alone
    void* hostRenderFuncs;           // byte 8, the host's, left alone
    PreviewFn preview;               // byte 12
    NewFrameFn newFrame;             // byte 16
    EvaluateRayFn evaluate;          // byte 20
    HandlerFlagsFn flags;            // byte 24
};
HOST_LAYOUT(HandlerCallbackTable, instance, 0);
HOST_LAYOUT(HandlerCallbackTable, hostItemFuncs, 4);
HOST_LAYOUT(HandlerCallbackTable, hostRenderFuncs, 8);
HOST_LAYOUT(HandlerCallbackTable, preview, 12);
HOST_LAYOUT(HandlerCallbackTable, newFrame, 16);
HOST_LAYOUT(HandlerCallbackTable, evaluate, 20);
HOST_LAYOUT(HandlerCallbackTable, flags, 24);
HOST_SIZE(HandlerCallbackTable, 28);

// The host's record given to "CameraInterface" activation.
struct InterfaceRecord {
    HostInstance instance; // byte 0, the instance whose settings are shown
    XPanel panel;          // byte 4, written: the new panel
    void* hostWord8;       // byte 8, written: null
    void* hostWord12;      // byte 12, written: null
};
HOST_LAYOUT(InterfaceRecord, instance, 0);
HOST_LAYOUT(InterfaceRecord, panel, 4);
HOST_LAYOUT(InterfaceRecord, hostWord8, 8);
HOST_LAYOUT(InterfaceRecord, hostWord12, 12);
HOST_SIZE(InterfaceRecord, 16);
