#include "host/activation.h"

#include <cmath>

#include "host/host_services.h"
#include "lifecycle/instance_lifecycle.h"
#include "lifecycle/scene_persistence.h"
#include "model/preview_projection.h"
#include "model/ray_evaluation.h"
#include "model/sample_table.h"
#include "panel/panel_build.h"

namespace {

void installInstanceCallbacks(InstanceCallbackTable* table, GlobalLookupFn globalLookup) {
    table->privateWord = reinterpret_cast<void*>(globalLookup);
    table->create = createInstance;
    table->destroy = destroyInstance;
    table->copy = copyInstance;
    table->load = loadInstance;
    table->save = saveInstance;
    table->describe = describeInstance;
}

void installHandlerCallbacks(HandlerCallbackTable* handler) {
    handler->preview = buildPreviewMatrix;
    handler->newFrame = buildSampleTable;
    handler->evaluate = evaluateRay;
    handler->flags = handlerFlags;
}

} // namespace

extern "C" int HOSTCALL activateHandler(int version, GlobalLookupFn globalLookup, void* local,
                                        void* /*serverData*/) {
    if (version != HANDLER_VERSION) {
        return ACTIVATION_BAD_VERSION;
    }
    hostServices.pi = 4.0 * std::atan(1.0);
    // The services are kept only when every required one is there: the callbacks installed by
    // an earlier activation go on running for the host's existing instances and must not find
    // the services they rely on taken away by a later activation that failed.
    HostServices found = hostServices;
    found.globalLookup = globalLookup;
    found.vparmFuncs = static_cast<const VParmFuncs*>(globalLookup(SERVICE_VPARM_FUNCS, 0));
    found.itemInfo = static_cast<const ItemInfo*>(globalLookup(SERVICE_ITEM_INFO, 0));
    const void* envelopes = globalLookup(SERVICE_ANIMATION_ENVELOPES, 0);
    const void* timeInfo = globalLookup(SERVICE_TIME_INFO, 0);
    found.cameraInfo = static_cast<const CameraInfo*>(globalLookup(SERVICE_CAMERA_INFO, 0));
    if (found.vparmFuncs == nullptr || found.itemInfo == nullptr || envelopes == nullptr ||
        timeInfo == nullptr) {
        return ACTIVATION_NO_SERVICE;
    }
    hostServices = found;
    HandlerCallbackTable* handler = static_cast<HandlerCallbackTable*>(local);
    installInstanceCallbacks(handler->instance, globalLookup);
    installHandlerCallbacks(handler);
    return ACTIVATION_OK;
}

extern "C" int HOSTCALL activateInterface(int version, GlobalLookupFn globalLookup, void* local,
                                          void* /*serverData*/) {
    if (version != INTERFACE_VERSION) {
        return ACTIVATION_BAD_VERSION;
    }
    hostServices.globalLookup = globalLookup;
    hostServices.instanceUpdate =
        reinterpret_cast<InstanceUpdateFn>(globalLookup(SERVICE_INSTANCE_UPDATE, 0));
    // A panel opened by an earlier activation may still be drawn: a failed lookup must not take
    // its drawing service away.
    const XPanelFuncs* xpanel = static_cast<const XPanelFuncs*>(globalLookup(SERVICE_XPANEL, 0));
    if (xpanel == nullptr) {
        return ACTIVATION_NO_SERVICE;
    }
    hostServices.xpanelFuncs = xpanel;
    buildSettingsPanel(static_cast<InterfaceRecord*>(local));
    return ACTIVATION_OK;
}
