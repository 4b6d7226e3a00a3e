// The host's panel service with the module's settings panel: what activation hands over, the
// value exchange through the module's callbacks, the thumbnail's drawing calls and pixels, and
// the strictness that turns a faulty call into a violation instead of a crash.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/activation.h"
#include "host/host_records.h"
#include "hostsim/guarded_record.h"
#include "hostsim/sim_host.h"
#include "hostsim/xpanel_service.h"

namespace {

using hostsim::HostCall;
using hostsim::Rgb;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

constexpr double kPi = 3.14159265358979323846;
constexpr double kFilmHeight = 0.024;
constexpr std::uint32_t kZoom = 0x8001, kReadout = 0x8002, kTiltDirection = 0x8005,
                        kTiltAngle = 0x8006, kThumbnail = 0x8007;

std::vector<HostCall> callsOf(const hostsim::SimHost& host, const std::string& service) {
    std::vector<HostCall> result;
    for (const HostCall& call : const_cast<hostsim::SimHost&>(host).log().calls()) {
        if (call.service == service) {
            result.push_back(call);
        }
    }
    return result;
}

Rgb pixelOf(const hostsim::RgbImage& image, int x, int y) {
    const std::size_t at = (static_cast<std::size_t>(y) * image.width + x) * 3;
    return Rgb{image.pixels[at], image.pixels[at + 1], image.pixels[at + 2]};
}

// One camera instance with its settings panel open, as the host has it after the user opened
// the camera's properties.
class OpenPanel : public testing::Test {
  protected:
    void SetUp() override {
        handler->instance = instanceTable.get();
        ASSERT_EQ(activateHandler(HANDLER_VERSION, host.globalLookup(), handler.get(), nullptr), 0);
        camera = host.cameras().addCamera();
        HostError error = nullptr;
        instance = instanceTable->create(nullptr, camera, &error);
        ASSERT_NE(instance, nullptr) << error;
        cameraRecord->cameraItem = camera;
        cameraRecord->filmWidth = 0.036;
        cameraRecord->filmHeight = kFilmHeight;
        ASSERT_EQ(handler->preview(instance, 0.0, 0.0, projection.get(), cameraRecord.get()), 1);
        host.log().clear();
        record->instance = instance;
        ASSERT_EQ(activateInterface(INTERFACE_VERSION, host.globalLookup(), record.get(), nullptr),
                  0);
        panel = record->panel;
        ASSERT_TRUE(panels.knows(panel));
    }

    void TearDown() override {
        panels.destroyPanel(panel);
        instanceTable->destroy(instance);
        EXPECT_THAT(host.finalViolations(), IsEmpty());
    }

    hostsim::SimHost host;
    hostsim::XPanelService panels{host};
    hostsim::GuardedRecord<InstanceCallbackTable> instanceTable{"InstanceCallbackTable"};
    hostsim::GuardedRecord<HandlerCallbackTable> handler{"HandlerCallbackTable"};
    hostsim::GuardedRecord<HostCameraRecord> cameraRecord{"HostCameraRecord"};
    hostsim::GuardedRecord<Matrix4d> projection{"Matrix4d"};
    hostsim::GuardedRecord<InterfaceRecord> record{"InterfaceRecord"};
    HostItemId camera = nullptr;
    HostInstance instance = nullptr;
    XPanel panel = nullptr;
};

TEST_F(OpenPanel, ActivationCreatesDescribesHintsAndAttachesTheInstanceInOrder) {
    const auto calls = callsOf(host, "LWXPanel");
    std::vector<std::string> operations;
    for (const HostCall& call : calls) {
        operations.push_back(call.operation);
    }
    EXPECT_THAT(operations,
                ElementsAre("create", "describe", "hint", "viewInstance", "setUserData"));
    EXPECT_EQ(calls[0].arguments.at(0), "1");
    EXPECT_EQ(calls[2].arguments.at(0), "panel#1");
    EXPECT_EQ(calls[2].arguments.at(1), "0x00000000");
    EXPECT_EQ(panels.kind(panel), 1);

    std::vector<std::string> controls;
    for (const hostsim::PanelRow& row : panels.controls(panel)) {
        controls.push_back(row.text + "|" + row.type);
    }
    EXPECT_THAT(controls, ElementsAre("Zoom Factor|float-env", "|sInfo",
                                      "Horizontal Shift|percent-env", "Vertical Shift|percent-env",
                                      "Direction|angle-env", "Angle|angle-env", "|dThumbnail"));
    EXPECT_EQ(panels.dataDescription(panel).size(), 6u);
    EXPECT_EQ(panels.title(panel), "Vellary Camera");
    EXPECT_EQ(panels.limits(panel, kTiltAngle).minimum, -90);
    EXPECT_EQ(panels.limits(panel, kTiltAngle).maximum, 90);
    EXPECT_EQ(panels.limits(panel, kZoom).minimum, 0);
    EXPECT_FALSE(panels.limits(panel, kZoom).maximum.has_value());
    EXPECT_EQ(panels.viewInstance(panel), instance);
    EXPECT_EQ(panels.userData(panel, 0), instance);
    EXPECT_EQ(record->hostWord8, nullptr);
    EXPECT_EQ(record->hostWord12, nullptr);
}

TEST_F(OpenPanel, ControlsReadTheirChannelsAndTheReadoutAndTakeNewValues) {
    const std::vector<ParamChannel> channels = host.channels().created();
    ASSERT_EQ(channels.size(), 5u);
    EXPECT_EQ(panels.readControl(panel, kZoom), static_cast<void*>(channels[0]));
    EXPECT_EQ(panels.readControl(panel, kTiltAngle), static_cast<void*>(channels[4]));

    char expected[64];
    std::snprintf(expected, sizeof expected, "Focal Length %0.1fmm",
                  kFilmHeight * host.cameras().zoomFactorAt(camera, 0.0) * 0.5 * 1000.0);
    EXPECT_EQ(panels.readControlText(panel, kReadout), expected);

    EXPECT_EQ(panels.writeControl(panel, kTiltAngle, 0.25), 1);
    EXPECT_EQ(panels.writeControl(panel, kReadout, 1.0), 0);
    ASSERT_EQ(host.instanceUpdates().size(), 1u);
    EXPECT_EQ(host.instanceUpdates()[0].className, "CameraHandler");
    EXPECT_EQ(host.instanceUpdates()[0].instance, instance);
}

TEST_F(OpenPanel, ThumbnailDrawsBackgroundCircleCrosshairThenMarkerIntoOneArea) {
    const double tiltAngle = kPi / 8, tiltDirection = kPi / 2;
    ASSERT_EQ(panels.writeControl(panel, kTiltDirection, tiltDirection), 1);
    ASSERT_EQ(panels.writeControl(panel, kTiltAngle, tiltAngle), 1);
    host.log().clear();

    const auto image = panels.drawControl(panel, kThumbnail);
    ASSERT_TRUE(image.has_value());
    const auto draws = callsOf(host, "drawing");
    ASSERT_EQ(draws.size(), 1u + 36u + 2u + 1u);
    for (const HostCall& call : draws) {
        EXPECT_EQ(call.arguments.at(0), "area#1");
    }
    EXPECT_EQ(draws.front().operation, "box");
    EXPECT_THAT(draws.front().arguments,
                ElementsAre("area#1", "240", "240", "240", "0", "0", "100", "100"));
    EXPECT_THAT(draws[1].arguments, ElementsAre("area#1", "0x01C8C8C8", "40", "59", "34", "58"));
    for (int chord = 1; chord <= 36; ++chord) {
        EXPECT_EQ(draws[chord].operation, "line");
    }
    // The marker's corner from the tilt: radius 29 * sqrt(2 * angle / pi), turned by the
    // direction, the corner 2 pixels up and left of the moved centre.
    const double radius = 29.0 * std::sqrt(2.0 * tiltAngle / kPi);
    const int cornerX = static_cast<int>(38.0 + radius * std::sin(tiltDirection));
    const int cornerY = static_cast<int>(28.0 - radius * std::cos(tiltDirection));
    EXPECT_THAT(draws.back().arguments,
                ElementsAre("area#1", "255", "100", "100", std::to_string(cornerX),
                            std::to_string(cornerY), "5", "5"));

    EXPECT_EQ(image->width, 100);
    EXPECT_EQ(image->height, 100);
    EXPECT_EQ(pixelOf(*image, 95, 95), (Rgb{240, 240, 240}));
    EXPECT_EQ(pixelOf(*image, 40, 59), (Rgb{200, 200, 200})); // the circle's first vertex
    EXPECT_EQ(pixelOf(*image, 10, 30), (Rgb{200, 200, 200})); // the crosshair
    EXPECT_EQ(pixelOf(*image, cornerX + 2, cornerY + 2), (Rgb{255, 100, 100}));
}

TEST_F(OpenPanel, AMarkerPartlyOutsideTheAreaIsClipped) {
    ASSERT_EQ(panels.writeControl(panel, kTiltDirection, 0.0), 1);
    ASSERT_EQ(panels.writeControl(panel, kTiltAngle, kPi / 2), 1);
    const auto image = panels.drawControl(panel, kThumbnail);
    ASSERT_TRUE(image.has_value());
    // The corner is at (38, -1): rows 0 to 3 of the marker remain.
    for (int x = 38; x < 43; ++x) {
        EXPECT_EQ(pixelOf(*image, x, 0), (Rgb{255, 100, 100})) << x;
        EXPECT_EQ(pixelOf(*image, x, 3), (Rgb{255, 100, 100})) << x;
    }
    EXPECT_NE(pixelOf(*image, 40, 4), (Rgb{255, 100, 100}));
}

TEST_F(OpenPanel, EachDrawingGetsAFreshAreaThatEndsWithTheCall) {
    ASSERT_TRUE(panels.drawControl(panel, kThumbnail).has_value());
    ASSERT_TRUE(panels.drawControl(panel, kThumbnail).has_value());
    const auto draws = callsOf(host, "drawing");
    EXPECT_EQ(draws.front().arguments.at(0), "area#1");
    EXPECT_EQ(draws.back().arguments.at(0), "area#2");
    EXPECT_THAT(host.violations().all(), IsEmpty());

    // Drawing into the finished area is refused.
    const XPanelDrawFuncs* draw = panels.table()->drawFuncs;
    draw->box(reinterpret_cast<DrawArea>(static_cast<std::uintptr_t>(0xB0000001u)), 1, 2, 3, 0, 0,
              5, 5);
    EXPECT_THAT(host.violations().all(), ElementsAre(HasSubstr("not a drawing in progress")));
    host.violations().clear();
}

TEST_F(OpenPanel, ControlsOutsideTheDataDescriptionAreNotExchanged) {
    EXPECT_FALSE(panels.readControl(panel, kThumbnail).has_value());
    EXPECT_FALSE(panels.writeControl(panel, 0x8008, 1.0).has_value());
    EXPECT_FALSE(panels.drawControl(panel, kZoom).has_value());
    EXPECT_THAT(host.violations().all(),
                ElementsAre(HasSubstr("not both a control and described data"),
                            HasSubstr("not both a control and described data"),
                            HasSubstr("no drawing callback")));
    host.violations().clear();
}

// Calls a faulty module could make; each is refused and recorded, none crashes.
TEST(XPanelService, UnknownHandlesAndStrayCallsAreViolationsNotCrashes) {
    hostsim::SimHost host;
    hostsim::XPanelService panels(host);
    const XPanelFuncs* table = panels.table();
    ASSERT_EQ(host.findService(SERVICE_XPANEL), table);
    const XPanel stranger = reinterpret_cast<XPanel>(static_cast<std::uintptr_t>(0x1234));

    table->describe(stranger, nullptr, nullptr, nullptr);
    table->hint(stranger, 0, nullptr);
    EXPECT_EQ(table->getUserData(stranger, 0), nullptr);
    table->setUserData(stranger, 0, nullptr);
    table->viewInstance(stranger, nullptr);
    table->drawFuncs->line(nullptr, 0, 0, 0, 1, 1);
    reinterpret_cast<void(HOSTCALL*)()>(table->hostSlot12)();
    EXPECT_FALSE(panels.readControl(stranger, 0x8001).has_value());

    const auto violations = host.violations().all();
    ASSERT_EQ(violations.size(), 8u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_THAT(violations[i], HasSubstr("unknown panel 0x1234"));
    }
    EXPECT_THAT(violations[5], HasSubstr("null, which is not a drawing in progress"));
    EXPECT_THAT(violations[6], HasSubstr("LWXPanel slot at byte 12"));
    EXPECT_THAT(violations[7], HasSubstr("unknown panel"));
    host.violations().clear();
}

TEST(XPanelService, ControlTablesWithNullTextsOrNoEndAreRefused) {
    hostsim::SimHost host;
    hostsim::XPanelService panels(host);
    const PanelControl nullLabel[] = {
        {0x8001, "Zoom", "float-env"}, {0x8002, nullptr, "sInfo"}, {0, nullptr, nullptr}};
    EXPECT_EQ(panels.table()->create(1, nullLabel), nullptr);
    std::vector<PanelControl> endless(300, PanelControl{0x8001, "", "float"});
    EXPECT_EQ(panels.table()->create(1, endless.data()), nullptr);
    EXPECT_THAT(host.violations().all(),
                ElementsAre(HasSubstr("row 1 (id 0x00008002) has a null text"),
                            HasSubstr("without its ending zero row")));
    host.violations().clear();
}

TEST(XPanelService, AFailedCreationLeavesTheInterfaceRecordAsTheHostSetIt) {
    hostsim::SimHost host;
    hostsim::XPanelService panels(host);
    panels.setCreateFails(true);
    hostsim::GuardedRecord<InterfaceRecord> record("InterfaceRecord", 1, 0xCD);
    const InterfaceRecord before = *record;
    EXPECT_EQ(activateInterface(INTERFACE_VERSION, host.globalLookup(), record.get(), nullptr), 0);
    EXPECT_EQ(std::memcmp(&before, record.get(), sizeof before), 0);
    EXPECT_TRUE(panels.panels().empty());
    EXPECT_THAT(host.finalViolations(), IsEmpty());
}

} // namespace
