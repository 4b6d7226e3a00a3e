// A host activates the camera handler again for every new camera, and the panel for every
// settings window, while the instances and panels of earlier activations live on. An activation
// that fails for want of a service must leave those working: the module keeps the services of
// the last activation that succeeded. (Found by fuzzing: the failed lookup used to replace the
// parameter service with null, and the next create or new frame of an existing camera crashed.)
#include <vector>

#include "hostsim/xpanel_service.h"
#include "panel/panel_tables.h"
#include "support/camera_host.h"

namespace {

using namespace camtest;
using testing::IsEmpty;

class FailedActivationTest : public CameraHostTest {
  protected:
    int activateAgainWithout(const char* service) {
        host.setServiceAbsent(service);
        hostsim::GuardedRecord<InstanceCallbackTable> instances("InstanceCallbackTable");
        hostsim::GuardedRecord<HandlerCallbackTable> again("HandlerCallbackTable");
        again->instance = instances.get();
        const int result =
            activateHandler(HANDLER_VERSION, host.globalLookup(), again.get(), nullptr);
        host.setServiceAbsent(service, false);
        return result;
    }
};

TEST_F(FailedActivationTest, EveryCallbackOfAnExistingCameraStillWorks) {
    for (const char* service :
         {SERVICE_VPARM_FUNCS, SERVICE_ITEM_INFO, SERVICE_ANIMATION_ENVELOPES, SERVICE_TIME_INFO}) {
        SCOPED_TRACE(service);
        activate();
        const HostItemId item = host.cameras().addCamera();
        CameraInstance* camera = createCamera(item);
        setSettings(camera, CameraSettings{3.0, 0.1, 0.0, 0.0, 0.0});

        ASSERT_EQ(ACTIVATION_NO_SERVICE, activateAgainWithout(service));

        // The camera samples its channels and asks for its item's axes through the services of
        // the first activation; a new camera gets its five channels.
        EXPECT_EQ(nullptr, newFrame(camera, 0.0, 1.0, 1, recordFor(item, 0.036, 0.024)));
        EXPECT_EQ(3.0, camera->zoomFactor);
        EXPECT_EQ(0.1, camera->hShift);
        CameraInstance* second = createCamera(item);
        for (const SettingFields& field : kSettingFields) {
            EXPECT_NE(nullptr, second->*field.channel) << field.channelName;
        }
    }
}

TEST(FailedPanelActivation, AnEarlierPanelStillDrawsItsThumbnail) {
    hostsim::SimHost host;
    hostsim::XPanelService panels(host);
    hostsim::GuardedRecord<InstanceCallbackTable> instances("InstanceCallbackTable");
    hostsim::GuardedRecord<HandlerCallbackTable> handler("HandlerCallbackTable");
    handler->instance = instances.get();
    ASSERT_EQ(ACTIVATION_OK,
              activateHandler(HANDLER_VERSION, host.globalLookup(), handler.get(), nullptr));
    HostError error = nullptr;
    HostInstance camera = instances->create(nullptr, host.cameras().addCamera(), &error);
    hostsim::GuardedRecord<InterfaceRecord> first("InterfaceRecord");
    first->instance = camera;
    ASSERT_EQ(ACTIVATION_OK,
              activateInterface(INTERFACE_VERSION, host.globalLookup(), first.get(), nullptr));

    host.setServiceAbsent(SERVICE_XPANEL);
    hostsim::GuardedRecord<InterfaceRecord> second("InterfaceRecord");
    second->instance = camera;
    EXPECT_EQ(ACTIVATION_NO_SERVICE,
              activateInterface(INTERFACE_VERSION, host.globalLookup(), second.get(), nullptr));
    host.setServiceAbsent(SERVICE_XPANEL, false);

    const std::optional<hostsim::RgbImage> image =
        panels.drawControl(first->panel, PANEL_ID_THUMBNAIL);
    ASSERT_TRUE(image.has_value());
    // The marker at the centre: no tilt.
    const std::size_t centre = (30 * static_cast<std::size_t>(image->width) + 40) * 3;
    EXPECT_EQ(255, image->pixels[centre]);
    EXPECT_EQ(100, image->pixels[centre + 1]);

    panels.destroyPanel(first->panel);
    instances->destroy(camera);
    EXPECT_THAT(host.finalViolations(), IsEmpty());
}

} // namespace
