// A camera of this module inside the stand-in host, driven the way the host drives it: the
// handler is activated into host-owned callback tables, instances are made through the
// installed create callback, and the new-frame and preview callbacks are called through the
// handler record. Every test ends by asking the host for violations (bad handles, leaks,
// writes outside a host record).
#pragma once

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/activation.h"
#include "host/host_records.h"
#include "host/service_tables.h"
#include "hostsim/handle_tokens.h"
#include "hostsim/number_text.h"
#include "hostsim/sim_host.h"
#include "model/camera_instance.h"

namespace camtest {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline const double kPi = 4.0 * std::atan(1.0);

// The five settings, in the order the module walks them everywhere.
struct CameraSettings {
    double zoomFactor = 2.0;
    double hShift = 0.0;
    double vShift = 0.0;
    double tiltDirection = 0.0;
    double tiltAngle = 0.0;
};

// Value field and channel of each setting, spelled out here rather than taken from the
// module's own table, so a mix-up in that table shows up in the tests.
struct SettingFields {
    const char* channelName;
    double CameraInstance::*value;
    ParamChannel CameraInstance::*channel;
};
inline const SettingFields kSettingFields[5] = {
    {"ZoomFactor", &CameraInstance::zoomFactor, &CameraInstance::zoomChannel},
    {"HShift", &CameraInstance::hShift, &CameraInstance::hShiftChannel},
    {"VShift", &CameraInstance::vShift, &CameraInstance::vShiftChannel},
    {"TiltDirection", &CameraInstance::tiltDirection, &CameraInstance::tiltDirectionChannel},
    {"TiltAngle", &CameraInstance::tiltAngle, &CameraInstance::tiltAngleChannel},
};

inline double length(const DVec3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

inline DVec3 scaled(const DVec3& v, double k) {
    return {v.x * k, v.y * k, v.z * k};
}

inline bool sameBits(const DVec3& a, const DVec3& b) {
    return std::memcmp(&a, &b, sizeof(DVec3)) == 0;
}

inline bool isFinite(const DVec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Component-wise comparison within an absolute tolerance, reporting which vector differs.
inline void expectNear(const DVec3& expected, const DVec3& actual, double tolerance,
                       const std::string& what) {
    EXPECT_NEAR(expected.x, actual.x, tolerance) << what << ".x";
    EXPECT_NEAR(expected.y, actual.y, tolerance) << what << ".y";
    EXPECT_NEAR(expected.z, actual.z, tolerance) << what << ".z";
}

// A host call as "service.operation(arg, arg, ...)", for comparing whole call sequences.
inline std::string callText(const hostsim::HostCall& call) {
    std::string text = call.service + "." + call.operation + "(";
    for (std::size_t i = 0; i < call.arguments.size(); ++i) {
        text += (i == 0 ? "" : ", ") + call.arguments[i];
    }
    return text + ")";
}

// The host with the camera handler activated in it. Nothing is activated until a test calls
// activate(), so a test can first take a service away.
class CameraHostTest : public testing::Test {
  protected:
    void TearDown() override {
        for (HostInstance instance : instances_) {
            instanceTable->destroy(instance);
        }
        EXPECT_TRUE(cameraRecord.check()) << cameraRecord.damage();
        EXPECT_TRUE(timing.check()) << timing.damage();
        EXPECT_THAT(host.finalViolations(), testing::IsEmpty());
    }

    void activate() {
        handler->instance = instanceTable.get();
        ASSERT_EQ(ACTIVATION_OK,
                  activateHandler(HANDLER_VERSION, host.globalLookup(), handler.get(), nullptr));
    }

    // A new instance for a camera item, made through the host's create callback; destroyed
    // when the test ends.
    CameraInstance* createCamera(HostItemId item) {
        HostError error = nullptr;
        HostInstance instance = instanceTable->create(instanceTable->privateWord, item, &error);
        EXPECT_NE(nullptr, instance) << (error != nullptr ? error : "");
        instances_.push_back(instance);
        return static_cast<CameraInstance*>(instance);
    }

    // Animates every setting of the instance as a constant.
    void setSettings(CameraInstance* camera, const CameraSettings& settings) {
        const double values[5] = {settings.zoomFactor, settings.hShift, settings.vShift,
                                  settings.tiltDirection, settings.tiltAngle};
        for (int i = 0; i < 5; ++i) {
            host.channels().setKeys(camera->*kSettingFields[i].channel, {{0.0, values[i]}});
        }
    }

    void setLens(HostItemId item, double focusDistance, double fStop) {
        host.cameras().setFocusDistanceKey(item, 0.0, focusDistance);
        host.cameras().setFStopKey(item, 0.0, fStop);
    }

    HostCameraRecord* recordFor(HostItemId item, double filmWidth, double filmHeight) {
        cameraRecord->cameraItem = item;
        cameraRecord->filmWidth = filmWidth;
        cameraRecord->filmHeight = filmHeight;
        return cameraRecord.get();
    }

    HostError newFrame(CameraInstance* camera, double start, double duration, int motionSteps,
                       const HostCameraRecord* record) {
        timing->frame = 7;
        timing->start = start;
        timing->duration = duration;
        timing->hostReserved = 0.0;
        timing->motionSteps = motionSteps;
        return handler->newFrame(camera, timing.get(), record);
    }

    std::string text(ParamChannel channel) const {
        return hostsim::handleText(hostsim::tokenOf(channel), host.serial());
    }
    std::string text(HostItemId item) const {
        return hostsim::handleText(hostsim::tokenOf(item), host.serial());
    }

    std::vector<std::string> callTexts() {
        std::vector<std::string> texts;
        for (const hostsim::HostCall& call : host.log().calls()) {
            texts.push_back(callText(call));
        }
        return texts;
    }

    // The calls the module makes to sample its five settings at a time, in order.
    std::vector<std::string> settingCalls(const CameraInstance* camera, double time) const {
        std::vector<std::string> calls;
        for (const SettingFields& field : kSettingFields) {
            calls.push_back("LWVParmFuncs 2.getValue(" + text(camera->*field.channel) + ", " +
                            hostsim::numberText(time) + ", null)");
        }
        return calls;
    }

    hostsim::SimHost host; // first: outlives the guarded records, which report to it
    hostsim::GuardedRecord<InstanceCallbackTable> instanceTable{"InstanceCallbackTable"};
    hostsim::GuardedRecord<HandlerCallbackTable> handler{"HandlerCallbackTable"};
    hostsim::GuardedRecord<HostCameraRecord> cameraRecord{"HostCameraRecord"};
    hostsim::GuardedRecord<FrameTiming> timing{"FrameTiming"};

  private:
    std::vector<HostInstance> instances_;
};

// One activated camera: item, instance and a 36 x 24 mm film record.
class OneCameraTest : public CameraHostTest {
  protected:
    void SetUp() override {
        activate();
        item = host.cameras().addCamera();
        camera = createCamera(item);
        record = recordFor(item, 0.036, 0.024);
    }

    HostItemId item = nullptr;
    CameraInstance* camera = nullptr;
    HostCameraRecord* record = nullptr;
};

} // namespace camtest
