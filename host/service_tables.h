// The host's service tables, as the global lookup returns them. Each slot is a function pointer
// at a fixed byte offset; slots the module never calls are kept as opaque filler words.
#pragma once

#include "host/host_records.h"
#include "host/host_types.h"
#include "model/vec_math.h"

// Service names, exactly as the host defines them.
#define SERVICE_VPARM_FUNCS "LWVParmFuncs 2"
#define SERVICE_ITEM_INFO "LW Item Info 4"
#define SERVICE_CAMERA_INFO "LW Camera Info 5"
#define SERVICE_TIME_INFO "LW Time Info"
#define SERVICE_ANIMATION_ENVELOPES "Animation Envelopes"
#define SERVICE_XPANEL "LWXPanel"
#define SERVICE_INSTANCE_UPDATE "Instance Update"

// "LWVParmFuncs 2": animatable parameter channels.
struct VParmFuncs {
    ParamChannel(HOSTCALL* create)(int typeCode, int flags);                         // 0
    void(HOSTCALL* destroy)(ParamChannel channel);                                   // 4
    int(HOSTCALL* setup)(ParamChannel channel, const char* name, ChannelGroup group, // 8
                         void* zero1, void* zero2, void* zero3, void* zero4);
    HostError(HOSTCALL* copy)(ParamChannel destination, ParamChannel source);      // 12
    HostError(HOSTCALL* load)(ParamChannel channel, const SceneLoadRecord* scene); // 16
    HostError(HOSTCALL* save)(ParamChannel channel, const SceneSaveRecord* scene); // 20
    // Evaluates the channel at a time; fills values[0] (the module never reads further).
    double(HOSTCALL* getValue)(ParamChannel channel, double time, void* zero, // 24
                               double* values);
    int(HOSTCALL* setValue)(ParamChannel channel, const double* value); // 28
};
HOST_LAYOUT(VParmFuncs, create, 0);
HOST_LAYOUT(VParmFuncs, destroy, 4);
HOST_LAYOUT(VParmFuncs, setup, 8);
HOST_LAYOUT(VParmFuncs, copy, 12);
HOST_LAYOUT(VParmFuncs, load, 16);
HOST_LAYOUT(VParmFuncs, save, 20);
HOST_LAYOUT(VParmFuncs, getValue, 24);
HOST_LAYOUT(VParmFuncs, setValue, 28);

// Channel type codes; the panel shows them as "float-env", "percent-env" and "angle-env".
enum ChannelTypeCode { CHANNEL_FLOAT = 16, CHANNEL_PERCENT = 32, CHANNEL_ANGLE = 64 };

// Codes of "LW Item Info 4" vector parameters.
enum ItemVectorCode { ITEM_POSITION = 1, ITEM_RIGHT = 2, ITEM_UP = 3, ITEM_FORWARD = 4 };

// "LW Item Info 4": scene items.
struct ItemInfo {
    void* hostSlots[9];                                                         // 0-35
    void(HOSTCALL* vector)(HostItemId item, int code, double time, DVec3* out); // 36
    void* hostSlots2[3];                                                        // 40-51
    ChannelGroup(HOSTCALL* channelGroup)(HostItemId item);                      // 52
};
HOST_LAYOUT(ItemInfo, vector, 36);
HOST_LAYOUT(ItemInfo, channelGroup, 52);

// "LW Camera Info 5": the host camera's lens, each at an item and a time.
struct CameraInfo {
    double(HOSTCALL* zoomFactor)(HostItemId item, double time);    // 0
    void* hostSlot4;                                               // 4
    double(HOSTCALL* focusDistance)(HostItemId item, double time); // 8
    double(HOSTCALL* fStop)(HostItemId item, double time);         // 12
};
HOST_LAYOUT(CameraInfo, zoomFactor, 0);
HOST_LAYOUT(CameraInfo, focusDistance, 8);
HOST_LAYOUT(CameraInfo, fStop, 12);

// "LW Time Info": a record whose first field is the current host time.
struct TimeInfo {
    double time; // byte 0
};
HOST_LAYOUT(TimeInfo, time, 0);

// "Instance Update": the lookup yields this function itself.
typedef int(HOSTCALL* InstanceUpdateFn)(const char* className, HostInstance instance);

// Panel callbacks the module hands to "LWXPanel".
typedef void*(HOSTCALL* PanelGetFn)(HostInstance instance, std::uint32_t controlId);
typedef int(HOSTCALL* PanelSetFn)(HostInstance instance, std::uint32_t controlId,
                                  const void* value);
typedef void(HOSTCALL* PanelDrawFn)(XPanel panel, std::uint32_t controlId, DrawArea area, int width,
                                    int height);
// The host decides what it passes to the panel's other callbacks; the module ignores it all.
typedef void(HOSTCALL* PanelEmptyFn)(void* hostArgument);

// One row of the control table and of the data description: id, text, type text.
struct PanelControl {
    std::uint32_t id;
    const char* label;
    const char* type;
};
HOST_LAYOUT(PanelControl, label, 4);
HOST_LAYOUT(PanelControl, type, 8);
HOST_SIZE(PanelControl, 12);

// One word of the hint array: a tag, a number, or an address, as the hint requires.
union PanelHintWord {
    std::intptr_t value;
    const char* text;
    PanelEmptyFn callback;
    PanelDrawFn draw;
};
HOST_SIZE(PanelHintWord, 4);

// The drawing operations of a panel control, reached through byte 4 of "LWXPanel".
struct XPanelDrawFuncs {
    void* hostSlots[2];                                                              // 0-7
    void(HOSTCALL* line)(DrawArea area, std::uint32_t color, int x1, int y1, int x2, // 8
                         int y2);
    void* hostSlot12;                                                              // 12
    void(HOSTCALL* box)(DrawArea area, int red, int green, int blue, int x, int y, // 16
                        int width, int height);
};
HOST_LAYOUT(XPanelDrawFuncs, line, 8);
HOST_LAYOUT(XPanelDrawFuncs, box, 16);

// "LWXPanel": declarative settings panels.
struct XPanelFuncs {
    void* hostSlot0;                                                                 // 0
    const XPanelDrawFuncs* drawFuncs;                                                // 4
    XPanel(HOSTCALL* create)(int kind, const PanelControl* controls);                // 8
    void* hostSlot12;                                                                // 12
    void(HOSTCALL* describe)(XPanel panel, const PanelControl* data, PanelGetFn get, // 16
                             PanelSetFn set);
    void(HOSTCALL* hint)(XPanel panel, std::uint32_t id, const PanelHintWord* hints); // 20
    void*(HOSTCALL* getUserData)(XPanel panel, std::uint32_t id);                     // 24
    void(HOSTCALL* setUserData)(XPanel panel, std::uint32_t id, void* data);          // 28
    void* hostSlots32[2];                                                             // 32-39
    void(HOSTCALL* viewInstance)(XPanel panel, HostInstance instance);                // 40
};
HOST_LAYOUT(XPanelFuncs, drawFuncs, 4);
HOST_LAYOUT(XPanelFuncs, create, 8);
HOST_LAYOUT(XPanelFuncs, describe, 16);
HOST_LAYOUT(XPanelFuncs, hint, 20);
HOST_LAYOUT(XPanelFuncs, getUserData, 24);
HOST_LAYOUT(XPanelFuncs, setUserData, 28);
HOST_LAYOUT(XPanelFuncs, viewInstance, 40);
