// The settings panel as the host builds and uses it: interface activation hands the host's
// panel service the tables and callbacks in a fixed order, the host then reads each control
// through the get callback (channels, and the focal-length read-out refreshed from the zoom
// channel at the current time) and writes values through the set callback, which stores them in
// the instance and tells the host the instance changed.
#include <array>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hostsim/guarded_record.h"
#include "hostsim/xpanel_service.h"
#include "panel/panel_tables.h"
#include "panel/panel_values.h"
#include "support/camera_host.h"

namespace {

using namespace camtest;
using hostsim::numberText;
using hostsim::pointerText;
using testing::ElementsAre;
using testing::IsEmpty;

constexpr std::uint32_t kReadoutId = 0x8002;
// The five parameter controls, in the order of kSettingFields.
constexpr std::uint32_t kSettingIds[5] = {0x8001, 0x8003, 0x8004, 0x8005, 0x8006};
// Ids the host may ask about that name no parameter: the thumbnail, the groups, the panel as a
// whole, and numbers next to and far from the real ones.
constexpr std::uint32_t kOtherIds[] = {0x8007, 0x8008, 0x8009, 0x800A,    0x800B,
                                       0,      0x8000, 0x800C, 0xFFFFFFFF};
constexpr unsigned char kHostFill = 0xCD; // what the host left in its InterfaceRecord

std::array<unsigned char, sizeof(InterfaceRecord)> bytesOf(const InterfaceRecord* record) {
    std::array<unsigned char, sizeof(InterfaceRecord)> bytes;
    std::memcpy(bytes.data(), record, bytes.size());
    return bytes;
}

// A camera instance on a host with the panel service, before its settings are opened.
class PanelTest : public CameraHostTest {
  protected:
    void SetUp() override {
        activate();
        item = host.cameras().addCamera();
        camera = createCamera(item);
        interfaceRecord->instance = camera;
    }

    void TearDown() override {
        EXPECT_TRUE(interfaceRecord.check()) << interfaceRecord.damage();
        CameraHostTest::TearDown();
    }

    int activatePanel(int version = INTERFACE_VERSION) {
        host.log().clear();
        return activateInterface(version, host.globalLookup(), interfaceRecord.get(), nullptr);
    }

    // The film the host reports through the preview callback, as when it shows the camera's
    // view; the instance keeps the film height for the read-out.
    void preview(double filmHeight) {
        ASSERT_EQ(1, handler->preview(camera, 0.0, 0.0, projection.get(),
                                      recordFor(item, 0.036, filmHeight)));
    }

    hostsim::XPanelService panels{host};
    hostsim::GuardedRecord<InterfaceRecord> interfaceRecord{"InterfaceRecord", 1, kHostFill};
    hostsim::GuardedRecord<Matrix4d> projection{"Matrix4d"};
    HostItemId item = nullptr;
    CameraInstance* camera = nullptr;
};

TEST_F(PanelTest, ActivationBuildsThePanelInTheHostsOrderAndHandsItBack) {
    ASSERT_EQ(ACTIVATION_OK, activatePanel());

    ASSERT_EQ(1u, panels.panels().size());
    const XPanel panel = panels.panels()[0];
    const std::string instance = pointerText(camera);
    EXPECT_THAT(callTexts(),
                ElementsAre("globalLookup.Instance Update()", "globalLookup.LWXPanel()",
                            "LWXPanel.create(1, " + pointerText(panelControls) + ")",
                            "LWXPanel.describe(panel#1, " + pointerText(panelDataDescription) +
                                ", " + pointerText(reinterpret_cast<void*>(&panelGet)) + ", " +
                                pointerText(reinterpret_cast<void*>(&panelSet)) + ")",
                            "LWXPanel.hint(panel#1, 0x00000000, " + pointerText(panelHints) + ")",
                            "LWXPanel.viewInstance(panel#1, " + instance + ")",
                            "LWXPanel.setUserData(panel#1, 0x00000000, " + instance + ")"));
    EXPECT_EQ(camera, interfaceRecord->instance);
    EXPECT_EQ(panel, interfaceRecord->panel);
    EXPECT_EQ(nullptr, interfaceRecord->hostWord8);
    EXPECT_EQ(nullptr, interfaceRecord->hostWord12);
    EXPECT_EQ(camera, panels.viewInstance(panel));
    EXPECT_EQ(camera, panels.userData(panel, 0));
}

TEST_F(PanelTest, APanelTheHostCannotCreateStillActivatesAndLeavesTheRecordAlone) {
    panels.setCreateFails(true);
    const auto before = bytesOf(interfaceRecord.get());

    EXPECT_EQ(ACTIVATION_OK, activatePanel());

    EXPECT_EQ(before, bytesOf(interfaceRecord.get()));
    EXPECT_EQ("LWXPanel.create(1, " + pointerText(panelControls) + ")", callTexts().back())
        << "nothing may be asked of a panel that does not exist";
}

TEST_F(PanelTest, WithoutThePanelServiceActivationReportsAMissingService) {
    host.setServiceAbsent(SERVICE_XPANEL);
    const auto before = bytesOf(interfaceRecord.get());

    EXPECT_EQ(ACTIVATION_NO_SERVICE, activatePanel());

    EXPECT_EQ(before, bytesOf(interfaceRecord.get()));
    EXPECT_THAT(callTexts(),
                ElementsAre("globalLookup.Instance Update()", "globalLookup.LWXPanel()"));
}

TEST_F(PanelTest, AnUnsupportedVersionIsRefusedBeforeAnyLookup) {
    const auto before = bytesOf(interfaceRecord.get());
    for (int version : {3, 5, 0, 2, -4}) {
        SCOPED_TRACE(version);
        EXPECT_EQ(ACTIVATION_BAD_VERSION, activatePanel(version));
        EXPECT_THAT(callTexts(), IsEmpty());
        EXPECT_EQ(before, bytesOf(interfaceRecord.get()));
    }
    EXPECT_THAT(panels.panels(), IsEmpty());
}

TEST_F(PanelTest, WithoutInstanceUpdateValuesAreStoredButNotAnnounced) {
    host.setServiceAbsent(SERVICE_INSTANCE_UPDATE);
    ASSERT_EQ(ACTIVATION_OK, activatePanel());
    const XPanel panel = interfaceRecord->panel;
    ASSERT_TRUE(panels.knows(panel));

    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(kSettingFields[i].channelName);
        const double value = 0.75 + i;
        host.log().clear();
        EXPECT_EQ(1, panels.writeControl(panel, kSettingIds[i], value));
        EXPECT_EQ(value, camera->*kSettingFields[i].value);
        EXPECT_THAT(callTexts(), IsEmpty());
    }
    EXPECT_THAT(host.instanceUpdates(), IsEmpty());
}

// The camera's settings opened in the host's panel.
class OpenPanelTest : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        ASSERT_EQ(ACTIVATION_OK, activatePanel());
        panel = interfaceRecord->panel;
        ASSERT_TRUE(panels.knows(panel));
        host.log().clear();
    }

    std::string readout() {
        const std::optional<std::string> text = panels.readControlText(panel, kReadoutId);
        EXPECT_TRUE(text.has_value());
        return text.value_or("(none)");
    }

    void setZoomKeys(std::vector<hostsim::Key> keys) {
        host.channels().setKeys(camera->zoomChannel, std::move(keys));
    }

    XPanel panel = nullptr;
};

TEST_F(OpenPanelTest, EachSettingControlReadsItsOwnChannel) {
    // Channels are made in the order zoom, shifts, direction, angle.
    const std::vector<ParamChannel> created = host.channels().created();
    ASSERT_EQ(5u, created.size());
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(kSettingFields[i].channelName);
        ASSERT_NE(nullptr, created[i]);
        EXPECT_EQ(created[i], camera->*kSettingFields[i].channel);
        EXPECT_EQ(std::optional<void*>(created[i]), panels.readControl(panel, kSettingIds[i]));
    }
}

TEST_F(OpenPanelTest, ReadoutIsTheInstancesOwnTextAndOtherIdsReadNull) {
    EXPECT_EQ(std::optional<void*>(camera->infoText), panels.readControl(panel, kReadoutId));
    // The host panel asks only for described controls; the callback still answers the rest.
    for (std::uint32_t id : kOtherIds) {
        EXPECT_EQ(nullptr, panelGet(camera, id)) << std::hex << id;
    }
}

TEST_F(OpenPanelTest, ReadoutShowsZeroBeforeTheHostReportsAFilm) {
    setZoomKeys({{0.0, 3.2}});
    EXPECT_EQ(0.0, camera->filmHeight);
    EXPECT_EQ("Focal Length 0.0mm", readout());
    EXPECT_STREQ("Focal Length 0.0mm", camera->infoText);
}

TEST_F(OpenPanelTest, ReadoutUsesTheFilmOfTheLatestPreviewOrFrame) {
    setZoomKeys({{0.0, 3.2}});
    preview(0.024);
    EXPECT_EQ("Focal Length 38.4mm", readout());

    ASSERT_EQ(nullptr, newFrame(camera, 0.0, 1.0, 1, recordFor(item, 0.036, 0.012)));
    EXPECT_EQ("Focal Length 19.2mm", readout());
    ASSERT_EQ(nullptr, newFrame(camera, 0.0, 1.0, 1, recordFor(item, 0.036, 0.024)));
    EXPECT_EQ("Focal Length 38.4mm", readout());
}

TEST_F(OpenPanelTest, ReadoutFollowsTheZoomChannelAtTheHostsCurrentTime) {
    setZoomKeys({{0.0, 1.0}, {10.0, 3.0}});
    preview(0.024);
    camera->zoomFactor = 50.0; // the field is the renderer's: the read-out must not show it

    struct AtTime {
        double time;
        const char* text;
    };
    const AtTime cases[] = {{5.0, "Focal Length 24.0mm"},
                            {10.0, "Focal Length 36.0mm"},
                            {-3.0, "Focal Length 12.0mm"},
                            {2.5, "Focal Length 18.0mm"}};
    const std::string zoom = text(camera->zoomChannel);
    for (const AtTime& c : cases) {
        SCOPED_TRACE(c.time);
        host.setTime(c.time);
        host.log().clear();
        EXPECT_EQ(c.text, readout());
        // The time service is looked up anew at every read-out, then the zoom channel is asked
        // at that time.
        EXPECT_THAT(callTexts(), ElementsAre("globalLookup.LW Time Info()",
                                             "LWVParmFuncs 2.getValue(" + zoom + ", " +
                                                 numberText(c.time) + ", null)"));
    }
    EXPECT_EQ(50.0, camera->zoomFactor);
}

TEST_F(OpenPanelTest, HostileZoomAndFilmKeepTheReadoutInsideItsField) {
    const double values[] = {1e300,   -1e300, kInf, -kInf, kNaN, std::numeric_limits<double>::max(),
                             -1e-300, 0.024,  3.2};
    for (double zoom : values) {
        for (double film : values) {
            SCOPED_TRACE("zoom " + numberText(zoom) + ", film height " + numberText(film));
            setZoomKeys({{0.0, zoom}});
            camera->filmHeight = film; // as the latest preview or frame left it
            const std::string text = readout();
            EXPECT_LT(strnlen(camera->infoText, CAMERA_INFO_TEXT_SIZE),
                      static_cast<std::size_t>(CAMERA_INFO_TEXT_SIZE));
            EXPECT_LE(text.size(), 39u) << text;
            EXPECT_EQ(0u, text.rfind("Focal Length ", 0)) << text;
            EXPECT_EQ("mm", text.substr(text.size() - 2)) << text;
        }
    }
}

TEST_F(OpenPanelTest, SettingAParameterStoresItAndNotifiesTheHost) {
    const std::string announced =
        "Instance Update.update(CameraHandler, " + pointerText(camera) + ")";
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(kSettingFields[i].channelName);
        for (int j = 0; j < 5; ++j) {
            camera->*kSettingFields[j].value = 10.0 + j;
        }
        const std::size_t updatesBefore = host.instanceUpdates().size();
        host.log().clear();
        const double value = -0.3125 * (i + 1);

        EXPECT_EQ(1, panels.writeControl(panel, kSettingIds[i], value));

        for (int j = 0; j < 5; ++j) {
            EXPECT_EQ(j == i ? value : 10.0 + j, camera->*kSettingFields[j].value)
                << kSettingFields[j].channelName;
        }
        // Only the value field changes: the channels stay as the user animated them.
        EXPECT_THAT(callTexts(), ElementsAre(announced));
        const std::vector<hostsim::InstanceUpdateCall> updates = host.instanceUpdates();
        ASSERT_EQ(updatesBefore + 1, updates.size());
        EXPECT_EQ("CameraHandler", updates.back().className);
        EXPECT_EQ(camera, updates.back().instance);
    }
}

TEST_F(OpenPanelTest, SettingTheReadoutOrAnUnknownIdStoresNothingAndNotifiesNobody) {
    preview(0.024);
    std::array<unsigned char, sizeof(CameraInstance)> before;
    std::memcpy(before.data(), camera, sizeof(CameraInstance));
    host.log().clear();

    EXPECT_EQ(0, panels.writeControl(panel, kReadoutId, 123.0));
    const double value = 123.0;
    for (std::uint32_t id : kOtherIds) {
        EXPECT_EQ(0, panelSet(camera, id, &value)) << std::hex << id;
    }

    EXPECT_EQ(0, std::memcmp(before.data(), camera, sizeof(CameraInstance)));
    EXPECT_THAT(callTexts(), IsEmpty());
    EXPECT_THAT(host.instanceUpdates(), IsEmpty());
}

} // namespace
