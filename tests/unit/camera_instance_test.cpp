// Sampling an instance's five settings from its host channels at a time.
#include <cstring>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "model/camera_instance.h"
#include "support/camera_host.h"

namespace {

using namespace camtest;
using testing::ElementsAreArray;

using SampleParametersTest = OneCameraTest;

// Every channel animated differently, so that a value read from the wrong channel shows.
void animateDistinctly(hostsim::SimHost& host, const CameraInstance* camera) {
    for (int i = 0; i < 5; ++i) {
        host.channels().setKeys(camera->*kSettingFields[i].channel,
                                {{0.0, 1.0 + i}, {1.0, -2.0 - 3.0 * i}, {2.0, 0.5 * i}});
    }
}

TEST_F(SampleParametersTest, FreshInstanceHasNoFilmSize) {
    EXPECT_EQ(0.0, camera->filmWidth);
    EXPECT_EQ(0.0, camera->filmHeight);
}

TEST_F(SampleParametersTest, EachFieldTakesWhatTheHostWroteForItsChannel) {
    animateDistinctly(host, camera);
    camera->filmWidth = 0.036;
    camera->filmHeight = 0.024;
    std::strcpy(camera->infoText, "Focal Length 24.0mm");
    for (double time : {0.25, 1.0, 1.7, -3.0}) {
        const CameraInstance before = *camera;
        host.log().clear();
        sampleParameters(camera, time);
        EXPECT_THAT(callTexts(), ElementsAreArray(settingCalls(camera, time)));
        for (const SettingFields& field : kSettingFields) {
            EXPECT_EQ(host.channels().valueAt(camera->*field.channel, time), camera->*field.value)
                << field.channelName << " at " << time;
        }
        EXPECT_EQ(before.filmWidth, camera->filmWidth);
        EXPECT_EQ(before.filmHeight, camera->filmHeight);
        for (const SettingFields& field : kSettingFields) {
            EXPECT_EQ(before.*field.channel, camera->*field.channel) << field.channelName;
        }
        EXPECT_EQ(before.channelGroup, camera->channelGroup);
        EXPECT_EQ(before.itemId, camera->itemId);
        EXPECT_EQ(0, std::memcmp(before.infoText, camera->infoText, sizeof(camera->infoText)));
    }
}

// A channel the host refused to create stays null in the instance. It is never handed to the
// host, and its setting keeps whatever value it had.
TEST_F(CameraHostTest, NullChannelIsSkippedAndItsFieldKept) {
    activate();
    const HostItemId item = host.cameras().addCamera();
    for (int refused = 0; refused < 5; ++refused) {
        host.channels().refuseCreate(refused + 1);
        CameraInstance* camera = createCamera(item);
        ASSERT_EQ(nullptr, camera->*kSettingFields[refused].channel);
        for (int i = 0; i < 5; ++i) {
            if (i != refused) {
                host.channels().setKeys(camera->*kSettingFields[i].channel, {{0.0, 10.0 + i}});
            }
        }
        camera->*kSettingFields[refused].value = -77.5;
        host.log().clear();
        sampleParameters(camera, 0.5);

        const std::vector<hostsim::HostCall> calls = host.log().calls();
        ASSERT_EQ(4u, calls.size()) << kSettingFields[refused].channelName << " refused";
        for (const hostsim::HostCall& call : calls) {
            EXPECT_NE("null", call.arguments.at(0)) << callText(call);
        }
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(i == refused ? -77.5 : 10.0 + i, camera->*kSettingFields[i].value)
                << kSettingFields[i].channelName << " with " << kSettingFields[refused].channelName
                << " refused";
        }
    }
}

} // namespace
