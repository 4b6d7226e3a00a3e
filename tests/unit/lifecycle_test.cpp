// Making, describing, copying and freeing camera instances through the handler's callback
// tables, on the stand-in host: which host calls an instance costs, what its five channels start
// with, and that every channel is owned by exactly one instance and destroyed exactly once.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hostsim/handle_tokens.h"
#include "support/handler_session.h"

namespace {

using hostsim::Key;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;
using vellary_test::cameraOf;
using vellary_test::channelsOf;
using vellary_test::HandlerSession;
using vellary_test::InstanceChannels;

constexpr int kCount = INSTANCE_PARAMETER_COUNT;

// What each channel must be made with, in creation order.
struct ExpectedChannel {
    const char* name;
    int typeCode;
};
constexpr ExpectedChannel kExpectedChannels[kCount] = {
    {"ZoomFactor", 16}, {"HShift", 32}, {"VShift", 32}, {"TiltDirection", 64}, {"TiltAngle", 64}};

// Distinct animation for each channel, so that a channel copied or loaded into the wrong one
// shows.
std::vector<Key> keysFor(int channelIndex) {
    const double base = 1.0 + channelIndex;
    return {{-1.0, base}, {0.5, -2.0 * base}, {2.0, 0.25 * base}, {7.5, 10.0 + base}};
}

std::vector<std::string> operationsOf(const std::vector<hostsim::HostCall>& calls,
                                      const std::string& service, const std::string& operation) {
    std::vector<std::string> found;
    for (const hostsim::HostCall& call : calls) {
        if (call.service == service && call.operation == operation) {
            found.push_back(testing::PrintToString(call.arguments));
        }
    }
    return found;
}

std::string channelText(hostsim::SimHost& host, ParamChannel channel) {
    return hostsim::handleText(hostsim::tokenOf(channel), host.serial());
}

class LifecycleTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(session.activated()); }

    hostsim::SimHost& host() { return session.host(); }
    InstanceCallbackTable& instances() { return session.instances(); }

    // A camera whose zoom factor changes over time, so "the zoom at the current time" is telling.
    HostItemId animatedCamera() {
        const HostItemId camera = host().cameras().addCamera();
        host().cameras().setZoomFactorKey(camera, 0.0, 2.0);
        host().cameras().setZoomFactorKey(camera, 2.0, 4.0);
        return camera;
    }

    HandlerSession session;
};

// --- Creation ------------------------------------------------------------------------------------

struct ZoomCase {
    const char* title;
    bool cameraServicePresent;
};

std::ostream& operator<<(std::ostream& out, const ZoomCase& c) {
    return out << "camera service " << c.title;
}

class CreateZoomTest : public LifecycleTest, public testing::WithParamInterface<ZoomCase> {};

TEST_P(CreateZoomTest, FieldAndZoomChannelStartWithTheSameZoomFactor) {
    const HostItemId camera = animatedCamera();
    host().setTime(1.5);
    host().setServiceAbsent(SERVICE_CAMERA_INFO, !GetParam().cameraServicePresent);
    const double expectedZoom =
        GetParam().cameraServicePresent ? host().cameras().zoomFactorAt(camera, 1.5) : 2.6217;
    ASSERT_NE(2.6217, host().cameras().zoomFactorAt(camera, 1.5)) << "the cases must differ";

    HostError error = nullptr;
    HostInstance instance = session.create(camera, &error);
    ASSERT_NE(nullptr, instance);
    EXPECT_EQ(nullptr, error);

    const CameraInstance& record = cameraOf(instance);
    EXPECT_EQ(expectedZoom, record.zoomFactor);
    const ParamChannel zoom = record.zoomChannel;
    for (double time : {-3.0, 0.0, 1.5, 100.0}) {
        EXPECT_EQ(expectedZoom, host().channels().valueAt(zoom, time)) << "at time " << time;
    }
    instances().destroy(instance);
    EXPECT_THAT(host().finalViolations(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(CameraService, CreateZoomTest,
                         testing::Values(ZoomCase{"present", true}, ZoomCase{"absent", false}),
                         [](const auto& info) { return std::string(info.param.title); });

TEST_F(LifecycleTest, NewInstanceHoldsZeroSettingsNoFilmAndEmptyReadout) {
    const HostItemId camera = animatedCamera();
    HostInstance instance = session.create(camera);
    ASSERT_NE(nullptr, instance);
    const CameraInstance& record = cameraOf(instance);
    EXPECT_EQ(0.0, record.hShift);
    EXPECT_EQ(0.0, record.vShift);
    EXPECT_EQ(0.0, record.tiltDirection);
    EXPECT_EQ(0.0, record.tiltAngle);
    EXPECT_EQ(0.0, record.filmWidth);
    EXPECT_EQ(0.0, record.filmHeight);
    EXPECT_EQ(camera, record.itemId);
    EXPECT_EQ(host().cameras().channelGroupOf(camera), record.channelGroup);
    for (char c : record.infoText) {
        EXPECT_EQ('\0', c);
    }
    instances().destroy(instance);
    EXPECT_THAT(host().finalViolations(), IsEmpty());
}

TEST_F(LifecycleTest, EveryCreateLooksUpTimeThenCameraAndMakesFiveChannelsInOrder) {
    const HostItemId first = animatedCamera();
    const HostItemId second = animatedCamera();
    host().setTime(0.5);
    std::vector<HostInstance> made;
    for (HostItemId camera : {first, second}) {
        host().log().clear();
        const std::size_t channelsBefore = host().channels().created().size();
        HostInstance instance = session.create(camera);
        ASSERT_NE(nullptr, instance);
        made.push_back(instance);

        std::vector<std::string> expected = {
            "globalLookup.LW Time Info", "globalLookup.LW Camera Info 5",
            "LW Camera Info 5.zoomFactor", "LW Item Info 4.channelGroup"};
        for (int i = 0; i < kCount; ++i) {
            expected.insert(expected.end(), {"LWVParmFuncs 2.create", "LWVParmFuncs 2.setup",
                                             "LWVParmFuncs 2.setValue"});
        }
        EXPECT_THAT(host().log().operations(), ElementsAreArray(expected));

        // The module asked for this camera's zoom at the current time and for its group.
        const std::vector<hostsim::HostCall> calls = host().log().calls();
        const std::string item = hostsim::handleText(hostsim::tokenOf(camera), host().serial());
        EXPECT_THAT(calls[2].arguments, ElementsAre(item, hostsim::numberText(0.5)));
        EXPECT_THAT(calls[3].arguments, ElementsAre(item));

        // The channels made are this instance's, in parameter order.
        const std::vector<ParamChannel> created = host().channels().created();
        ASSERT_EQ(channelsBefore + kCount, created.size());
        const InstanceChannels channels = channelsOf(instance);
        for (int i = 0; i < kCount; ++i) {
            EXPECT_EQ(created[channelsBefore + i], channels[i]) << kExpectedChannels[i].name;
        }
    }
    for (HostInstance instance : made) {
        instances().destroy(instance);
    }
    EXPECT_THAT(host().finalViolations(), IsEmpty());
}

TEST_F(LifecycleTest, ChannelsAreMadeWithNameTypeGroupZeroWordsAndInitialValue) {
    const HostItemId camera = animatedCamera();
    host().setTime(1.0);
    host().log().clear();
    HostInstance instance = session.create(camera);
    ASSERT_NE(nullptr, instance);
    const CameraInstance& record = cameraOf(instance);
    const ChannelGroup group = host().cameras().channelGroupOf(camera);
    const std::string groupText = hostsim::handleText(hostsim::tokenOf(group), host().serial());
    const std::string zero = hostsim::pointerText(nullptr);
    const double initialValues[kCount] = {host().cameras().zoomFactorAt(camera, 1.0), 0.0, 0.0, 0.0,
                                          0.0};
    const InstanceChannels channels = channelsOf(instance);

    std::vector<std::string> creates, setups, values;
    for (int i = 0; i < kCount; ++i) {
        SCOPED_TRACE(kExpectedChannels[i].name);
        const std::optional<hostsim::ChannelInfo> info = host().channels().info(channels[i]);
        ASSERT_TRUE(info.has_value());
        EXPECT_TRUE(info->alive);
        EXPECT_EQ(kExpectedChannels[i].typeCode, info->typeCode);
        EXPECT_EQ(-1, info->flags);
        EXPECT_EQ(kExpectedChannels[i].name, info->name);
        EXPECT_EQ(group, info->group);
        EXPECT_EQ(1, info->setupCount);
        EXPECT_THAT(info->setupWords, ElementsAre(nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(initialValues[i], host().channels().valueAt(channels[i], 3.0));
        EXPECT_EQ(initialValues[i], record.*instanceParameters[i].value);

        const std::string channel = channelText(host(), channels[i]);
        creates.push_back(testing::PrintToString(
            std::vector<std::string>{std::to_string(kExpectedChannels[i].typeCode), "-1"}));
        setups.push_back(testing::PrintToString(std::vector<std::string>{
            channel, kExpectedChannels[i].name, groupText, zero, zero, zero, zero}));
        values.push_back(testing::PrintToString(
            std::vector<std::string>{channel, hostsim::numberText(initialValues[i])}));
    }
    const std::vector<hostsim::HostCall> calls = host().log().calls();
    EXPECT_THAT(operationsOf(calls, SERVICE_VPARM_FUNCS, "create"), ElementsAreArray(creates));
    EXPECT_THAT(operationsOf(calls, SERVICE_VPARM_FUNCS, "setup"), ElementsAreArray(setups));
    EXPECT_THAT(operationsOf(calls, SERVICE_VPARM_FUNCS, "setValue"), ElementsAreArray(values));
    instances().destroy(instance);
    EXPECT_THAT(host().finalViolations(), IsEmpty());
}

// Which create calls of one instance the host refuses (1 = the zoom channel's).
struct RefusalCase {
    const char* title;
    std::vector<int> refused;
};

std::ostream& operator<<(std::ostream& out, const RefusalCase& c) {
    return out << "refused: " << c.title;
}

class RefusedChannelTest : public LifecycleTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedChannelTest, RefusedHandleStaysNullOthersAreMadeAndDestroyedOnce) {
    const std::vector<int>& refused = GetParam().refused;
    auto isRefused = [&](int index) {
        return std::find(refused.begin(), refused.end(), index + 1) != refused.end();
    };
    const HostItemId camera = animatedCamera();
    for (int nth : refused) {
        host().channels().refuseCreate(nth);
    }
    HostError error = nullptr;
    HostInstance instance = session.create(camera, &error);
    ASSERT_NE(nullptr, instance) << "a refused channel does not fail the instance";
    EXPECT_EQ(nullptr, error);
    EXPECT_EQ(kCount, host().channels().createCalls()) << "no refusal stops the sequence";

    const InstanceChannels channels = channelsOf(instance);
    std::vector<ParamChannel> made;
    for (int i = 0; i < kCount; ++i) {
        SCOPED_TRACE(kExpectedChannels[i].name);
        if (isRefused(i)) {
            EXPECT_EQ(nullptr, channels[i]);
            continue;
        }
        ASSERT_NE(nullptr, channels[i]);
        made.push_back(channels[i]);
        const std::optional<hostsim::ChannelInfo> info = host().channels().info(channels[i]);
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(kExpectedChannels[i].name, info->name);
        EXPECT_EQ(kExpectedChannels[i].typeCode, info->typeCode);
    }
    EXPECT_EQ(made, host().channels().created());

    host().log().clear();
    instances().destroy(instance);
    std::vector<std::string> destroyed;
    for (ParamChannel channel : made) {
        EXPECT_TRUE(host().channels().destroyedExactlyOnce(channel));
        destroyed.push_back(
            testing::PrintToString(std::vector<std::string>{channelText(host(), channel)}));
    }
    EXPECT_THAT(operationsOf(host().log().calls(), SERVICE_VPARM_FUNCS, "destroy"),
                ElementsAreArray(destroyed));
    // A null handle reaching the host (set-up, value, destroy) would show here as a violation.
    EXPECT_THAT(host().finalViolations(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Refusals, RefusedChannelTest,
                         testing::Values(RefusalCase{"Zoom", {1}}, RefusalCase{"VShift", {3}},
                                         RefusalCase{"TiltAngle", {5}},
                                         RefusalCase{"HShiftAndTiltDirection", {2, 4}},
                                         RefusalCase{"All", {1, 2, 3, 4, 5}}),
                         [](const auto& info) { return std::string(info.param.title); });

TEST_F(LifecycleTest, DestroyFreesEachChannelOnceInParameterOrder) {
    HostInstance instance = session.create(animatedCamera());
    ASSERT_NE(nullptr, instance);
    const InstanceChannels channels = channelsOf(instance);
    host().log().clear();
    instances().destroy(instance);
    std::vector<std::string> expected;
    for (ParamChannel channel : channels) {
        EXPECT_TRUE(host().channels().destroyedExactlyOnce(channel));
        expected.push_back(
            testing::PrintToString(std::vector<std::string>{channelText(host(), channel)}));
    }
    EXPECT_THAT(operationsOf(host().log().calls(), SERVICE_VPARM_FUNCS, "destroy"),
                ElementsAreArray(expected));
    EXPECT_EQ(0u, host().channels().aliveCount());
    EXPECT_THAT(host().finalViolations(), IsEmpty());
}

TEST_F(LifecycleTest, DescriptionAndFlagsAreTheSameForEveryInstance) {
    HostInstance first = session.create(animatedCamera());
    HostInstance second = session.create(animatedCamera());
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    for (HostInstance instance : {first, second, static_cast<HostInstance>(nullptr)}) {
        EXPECT_STREQ("CorbishCamera", instances().describe(instance));
        EXPECT_EQ(1u, session.handler().flags(instance));
    }
    instances().destroy(first);
    instances().destroy(second);
    EXPECT_THAT(host().finalViolations(), IsEmpty());
}

// Allocation failure of the record ("Couldn't allocate instance data.", no channel made) is not
// tested here: making the module's calloc fail would take a test hook in the module or a
// process-wide allocator override, and neither is worth its risk for a two-line path.

// --- Copy ----------------------------------------------------------------------------------------

class CopyTest : public LifecycleTest {
  protected:
    void SetUp() override {
        LifecycleTest::SetUp();
        sourceCamera = animatedCamera();
        destinationCamera = animatedCamera();
        source = session.create(sourceCamera);
        destination = session.create(destinationCamera);
        ASSERT_NE(nullptr, source);
        ASSERT_NE(nullptr, destination);
        sourceChannels = channelsOf(source);
        destinationChannels = channelsOf(destination);

        // The source as the panel and earlier frames left it; the destination has other settings
        // and its own, different animation.
        for (int i = 0; i < kCount; ++i) {
            host().channels().setKeys(sourceChannels[i], keysFor(i));
            host().channels().setKeys(destinationChannels[i], {{0.0, -50.0 - i}, {3.0, 60.0 + i}});
        }
        CameraInstance& from = cameraOf(source);
        from.zoomFactor = 3.75;
        from.hShift = 0.125;
        from.vShift = -0.3;
        from.tiltDirection = 1.1;
        from.tiltAngle = -0.2;
        from.filmWidth = 0.036;
        from.filmHeight = 0.024;
        std::snprintf(from.infoText, sizeof from.infoText, "Focal Length 45.0mm");
        CameraInstance& to = cameraOf(destination);
        std::snprintf(to.infoText, sizeof to.infoText, "Focal Length 12.5mm and more text");
        to.filmWidth = 9.0;
    }

    void expectDestinationFollowsSource(int exceptIndex = -1) {
        for (int i = 0; i < kCount; ++i) {
            if (i == exceptIndex) {
                continue;
            }
            for (double time : {-5.0, -1.0, 0.0, 0.37, 0.5, 1.25, 2.0, 4.0, 7.5, 30.0}) {
                EXPECT_EQ(host().channels().valueAt(sourceChannels[i], time),
                          host().channels().valueAt(destinationChannels[i], time))
                    << kExpectedChannels[i].name << " at time " << time;
            }
        }
    }

    void expectRecordValuesCopied() {
        const CameraInstance& from = cameraOf(source);
        const CameraInstance& to = cameraOf(destination);
        for (const InstanceParameter& parameter : instanceParameters) {
            EXPECT_EQ(from.*parameter.value, to.*parameter.value) << parameter.channelName;
        }
        EXPECT_EQ(from.filmWidth, to.filmWidth);
        EXPECT_EQ(from.filmHeight, to.filmHeight);
        EXPECT_EQ(from.channelGroup, to.channelGroup);
        EXPECT_EQ(from.itemId, to.itemId);
        EXPECT_EQ(0, std::memcmp(from.infoText, to.infoText, sizeof to.infoText));
    }

    void destroyBothAndExpectNoFaults() {
        instances().destroy(destination);
        instances().destroy(source);
        EXPECT_EQ(0u, host().channels().aliveCount());
        for (int i = 0; i < kCount; ++i) {
            EXPECT_TRUE(host().channels().destroyedExactlyOnce(sourceChannels[i]));
            EXPECT_TRUE(host().channels().destroyedExactlyOnce(destinationChannels[i]));
        }
        EXPECT_THAT(host().finalViolations(), IsEmpty());
    }

    HostItemId sourceCamera = nullptr;
    HostItemId destinationCamera = nullptr;
    HostInstance source = nullptr;
    HostInstance destination = nullptr;
    InstanceChannels sourceChannels{};
    InstanceChannels destinationChannels{};
};

TEST_F(CopyTest, DestinationKeepsItsChannelsAndYieldsTheSourceAnimation) {
    host().log().clear();
    EXPECT_EQ(nullptr, instances().copy(destination, source));

    EXPECT_EQ(destinationChannels, channelsOf(destination)) << "the destination's own handles";
    EXPECT_EQ(sourceChannels, channelsOf(source));
    expectRecordValuesCopied();
    expectDestinationFollowsSource();

    // The module samples both at frame times and sees the same settings.
    for (double time : {-1.0, 0.25, 1.9, 8.0}) {
        sampleParameters(&cameraOf(source), time);
        sampleParameters(&cameraOf(destination), time);
        for (const InstanceParameter& parameter : instanceParameters) {
            EXPECT_EQ(cameraOf(source).*parameter.value, cameraOf(destination).*parameter.value)
                << parameter.channelName << " at time " << time;
        }
    }

    std::vector<std::string> copies;
    for (int i = 0; i < kCount; ++i) {
        copies.push_back(testing::PrintToString(std::vector<std::string>{
            channelText(host(), destinationChannels[i]), channelText(host(), sourceChannels[i])}));
    }
    EXPECT_THAT(operationsOf(host().log().calls(), SERVICE_VPARM_FUNCS, "copy"),
                ElementsAreArray(copies));
    destroyBothAndExpectNoFaults();
}

TEST_F(CopyTest, FailingChannelCopyGivesBackTheHostsTextUnchanged) {
    struct Failure {
        int index;
        const char* text;
    };
    // The first failure in parameter order is the one reported, whatever fails after it.
    const std::vector<std::vector<Failure>> cases = {
        {{0, "zoom channel is locked"}},
        {{3, "tilt direction channel is busy"}},
        {{1, "h-shift refused"}, {4, "tilt angle refused"}},
    };
    for (const std::vector<Failure>& failures : cases) {
        SCOPED_TRACE(failures.front().text);
        host().channels().clearFailures();
        for (const Failure& failure : failures) {
            host().channels().failCopy(destinationChannels[failure.index], failure.text);
        }
        const int failing = failures.front().index;
        const std::vector<Key> ownKeys = host().channels().info(destinationChannels[failing])->keys;

        const HostError result = instances().copy(destination, source);

        // The host hands out the same text for every failing call on that channel.
        const HostError hostText = hostsim::ParamChannels::table()->copy(
            destinationChannels[failing], sourceChannels[failing]);
        EXPECT_STREQ(failures.front().text, result);
        EXPECT_EQ(hostText, result) << "the very text the host returned";
        EXPECT_EQ(ownKeys, host().channels().info(destinationChannels[failing])->keys)
            << "the failed channel keeps its own animation";
        // The settings and the channels that could be copied still follow the source.
        expectRecordValuesCopied();
        for (int i = 0; i < kCount; ++i) {
            bool fails = false;
            for (const Failure& failure : failures) {
                fails = fails || failure.index == i;
            }
            if (!fails) {
                EXPECT_EQ(host().channels().info(sourceChannels[i])->keys,
                          host().channels().info(destinationChannels[i])->keys)
                    << kExpectedChannels[i].name;
            }
        }
    }
    host().channels().clearFailures();
    destroyBothAndExpectNoFaults();
}

TEST_F(CopyTest, CopyIntoItselfChangesNothing) {
    const CameraInstance before = cameraOf(source);
    std::vector<std::vector<Key>> keysBefore;
    for (ParamChannel channel : sourceChannels) {
        keysBefore.push_back(host().channels().info(channel)->keys);
    }
    EXPECT_EQ(nullptr, instances().copy(source, source));
    const CameraInstance& after = cameraOf(source);
    for (const InstanceParameter& parameter : instanceParameters) {
        EXPECT_EQ(before.*parameter.value, after.*parameter.value) << parameter.channelName;
        EXPECT_EQ(before.*parameter.channel, after.*parameter.channel) << parameter.channelName;
    }
    EXPECT_EQ(before.filmWidth, after.filmWidth);
    EXPECT_EQ(before.filmHeight, after.filmHeight);
    EXPECT_EQ(before.channelGroup, after.channelGroup);
    EXPECT_EQ(before.itemId, after.itemId);
    EXPECT_STREQ(before.infoText, after.infoText);
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(keysBefore[i], host().channels().info(sourceChannels[i])->keys);
    }
    destroyBothAndExpectNoFaults();
}

TEST_F(LifecycleTest, CopyPassesNoMissingChannelToTheHost) {
    // The source lost its h-shift channel, the destination its tilt-angle channel.
    host().channels().refuseCreate(2);
    HostInstance source = session.create(animatedCamera());
    host().channels().refuseCreate(5);
    HostInstance destination = session.create(animatedCamera());
    ASSERT_NE(nullptr, source);
    ASSERT_NE(nullptr, destination);
    const InstanceChannels from = channelsOf(source);
    const InstanceChannels to = channelsOf(destination);
    ASSERT_EQ(nullptr, from[1]);
    ASSERT_EQ(nullptr, to[4]);
    for (int i : {0, 2, 3}) {
        host().channels().setKeys(from[i], keysFor(i));
    }
    cameraOf(source).hShift = 0.4;

    host().log().clear();
    EXPECT_EQ(nullptr, instances().copy(destination, source));
    EXPECT_EQ(3u, operationsOf(host().log().calls(), SERVICE_VPARM_FUNCS, "copy").size());
    for (int i : {0, 2, 3}) {
        EXPECT_EQ(keysFor(i), host().channels().info(to[i])->keys) << kExpectedChannels[i].name;
    }
    EXPECT_EQ(0.4, cameraOf(destination).hShift) << "the value is copied even without a channel";

    instances().destroy(source);
    instances().destroy(destination);
    EXPECT_EQ(0u, host().channels().aliveCount());
    EXPECT_THAT(host().finalViolations(), IsEmpty());
}

} // namespace
