// Saving camera instances with a scene and loading them back through the stand-in host's scene
// files: the five channels, then one block of the five values in single precision; what a
// failing channel, a short float read and values beyond single precision do.
#include <array>
#include <bit>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
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
using testing::ElementsAreArray;
using testing::IsEmpty;
using vellary_test::cameraOf;
using vellary_test::channelsOf;
using vellary_test::HandlerSession;
using vellary_test::InstanceChannels;

constexpr int kCount = INSTANCE_PARAMETER_COUNT;
constexpr double kInf = std::numeric_limits<double>::infinity();
using Values = std::array<double, kCount>;

// Distinct animation for each channel, so a channel loaded into the wrong one shows.
std::vector<Key> keysFor(int channelIndex) {
    const double base = 0.1 * (channelIndex + 1);
    return {{0.0, base}, {1.0 / 3.0, -base}, {2.5, 100.0 + base}};
}

// The nearest single-precision number, widened back. Through memory, so that a 32-bit x87 build
// cannot keep the extra precision.
double nearestFloat(double value) {
    volatile float narrowed = static_cast<float>(value);
    return narrowed;
}

void setValues(HostInstance instance, const Values& values) {
    for (int i = 0; i < kCount; ++i) {
        cameraOf(instance).*instanceParameters[i].value = values[i];
    }
}

Values valuesOf(HostInstance instance) {
    Values values{};
    for (int i = 0; i < kCount; ++i) {
        values[i] = cameraOf(instance).*instanceParameters[i].value;
    }
    return values;
}

std::vector<Key> keysOf(hostsim::SimHost& host, ParamChannel channel) {
    const std::optional<hostsim::ChannelInfo> info = host.channels().info(channel);
    return info ? info->keys : std::vector<Key>{};
}

// A scene file of this test's own, in the test temporary folder.
std::string scenePath() {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "_" + test->name();
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return (std::filesystem::temp_directory_path() / ("vellary_" + name + ".scene")).string();
}

std::vector<hostsim::HostCall> callsOf(const std::vector<hostsim::HostCall>& calls,
                                       const std::string& service, const std::string& operation) {
    std::vector<hostsim::HostCall> found;
    for (const hostsim::HostCall& call : calls) {
        if (call.service == service && call.operation == operation) {
            found.push_back(call);
        }
    }
    return found;
}

class ScenePersistenceTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(session.activated()); }

    hostsim::SimHost& host() { return session.host(); }
    InstanceCallbackTable& instances() { return session.instances(); }

    HostInstance createAnimated(const Values& values) {
        HostInstance instance = session.create(host().cameras().addCamera());
        EXPECT_NE(nullptr, instance);
        if (instance != nullptr) {
            const InstanceChannels channels = channelsOf(instance);
            for (int i = 0; i < kCount; ++i) {
                host().channels().setKeys(channels[i], keysFor(i));
            }
            setValues(instance, values);
        }
        return instance;
    }

    // Saves one instance as the only content of this test's scene file.
    void saveScene(HostInstance instance) {
        SceneSaveRecord* scene = host().scenes().openForWriting(scenePath());
        EXPECT_EQ(nullptr, instances().save(instance, scene));
        std::string error;
        EXPECT_TRUE(host().scenes().finishWriting(scene, &error)) << error;
    }

    SceneLoadRecord* openScene() {
        std::string error;
        SceneLoadRecord* scene = host().scenes().openForReading(scenePath(), &error);
        EXPECT_NE(nullptr, scene) << error;
        return scene;
    }

    // A freshly created instance with other settings and other animation than keysFor gives.
    HostInstance createOther(const Values& values) {
        HostInstance instance = session.create(host().cameras().addCamera());
        EXPECT_NE(nullptr, instance);
        if (instance != nullptr) {
            for (ParamChannel channel : channelsOf(instance)) {
                host().channels().setKeys(channel, {{-4.0, 9.0}, {4.0, -9.0}});
            }
            setValues(instance, values);
        }
        return instance;
    }

    HandlerSession session;
};

// --- Round trip ----------------------------------------------------------------------------------

TEST(SceneRoundTrip, ASavedSceneLoadsInAnotherHostRunWithValuesInSinglePrecision) {
    const Values saved = {2.6217, 0.1, 0.5, 0.25, -1.0 / 3.0};
    std::array<std::vector<Key>, kCount> savedKeys;
    const std::string path = scenePath();
    {
        HandlerSession first;
        ASSERT_TRUE(first.activated());
        HostInstance instance = first.create(first.host().cameras().addCamera());
        ASSERT_NE(nullptr, instance);
        const InstanceChannels channels = channelsOf(instance);
        for (int i = 0; i < kCount; ++i) {
            first.host().channels().setKeys(channels[i], keysFor(i));
            savedKeys[i] = keysOf(first.host(), channels[i]);
        }
        setValues(instance, saved);
        SceneSaveRecord* scene = first.host().scenes().openForWriting(path);
        EXPECT_EQ(nullptr, first.instances().save(instance, scene));
        std::string error;
        ASSERT_TRUE(first.host().scenes().finishWriting(scene, &error)) << error;
        first.instances().destroy(instance);
        EXPECT_THAT(first.host().finalViolations(), IsEmpty());
    }

    HandlerSession second;
    ASSERT_TRUE(second.activated());
    HostInstance instance = second.create(second.host().cameras().addCamera());
    ASSERT_NE(nullptr, instance);
    std::string error;
    SceneLoadRecord* scene = second.host().scenes().openForReading(path, &error);
    ASSERT_NE(nullptr, scene) << error;
    EXPECT_EQ(nullptr, second.instances().load(instance, scene));
    EXPECT_THAT(second.host().scenes().readProblems(scene), IsEmpty());
    EXPECT_EQ(0u, second.host().scenes().unreadEntries(scene));
    second.host().scenes().closeReading(scene);

    const InstanceChannels channels = channelsOf(instance);
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(savedKeys[i], keysOf(second.host(), channels[i]))
            << instanceParameters[i].channelName;
    }
    const Values loaded = valuesOf(instance);
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(nearestFloat(saved[i]), loaded[i]) << instanceParameters[i].channelName;
    }
    EXPECT_NE(2.6217, loaded[0]) << "the default zoom factor has no exact single-precision form";
    EXPECT_GT(loaded[1], 0.1);
    EXPECT_EQ(0.5, loaded[2]);
    EXPECT_EQ(0.25, loaded[3]);
    EXPECT_EQ(0.0, cameraOf(instance).filmWidth) << "film size waits for the next frame";
    EXPECT_EQ(0.0, cameraOf(instance).filmHeight);

    second.instances().destroy(instance);
    EXPECT_THAT(second.host().finalViolations(), IsEmpty());
}

TEST_F(ScenePersistenceTest, FiveChannelsInOrderThenOneBlockOfFiveFloats) {
    HostInstance saved = createAnimated({1.0, 0.5, -0.5, 0.75, 0.125});
    HostInstance loaded = session.create(host().cameras().addCamera());
    ASSERT_NE(nullptr, saved);
    ASSERT_NE(nullptr, loaded);

    struct Direction {
        HostInstance instance;
        const char* channelOperation;
        const char* floatOperation;
    };
    for (const Direction& direction :
         {Direction{saved, "save", "writeFloats"}, Direction{loaded, "load", "readFloats"}}) {
        SCOPED_TRACE(direction.channelOperation);
        const InstanceChannels channels = channelsOf(direction.instance);
        host().log().clear();
        const void* record = nullptr;
        void* dataWord = nullptr;
        if (direction.instance == saved) {
            SceneSaveRecord* scene = host().scenes().openForWriting(scenePath());
            record = scene;
            dataWord = scene->writerData;
            EXPECT_EQ(nullptr, instances().save(saved, scene));
            ASSERT_TRUE(host().scenes().finishWriting(scene));
        } else {
            SceneLoadRecord* scene = openScene();
            ASSERT_NE(nullptr, scene);
            record = scene;
            dataWord = scene->readerData;
            EXPECT_EQ(nullptr, instances().load(loaded, scene));
            host().scenes().closeReading(scene);
        }

        std::vector<std::string> expected(kCount, std::string(SERVICE_VPARM_FUNCS) + "." +
                                                      direction.channelOperation);
        expected.push_back(std::string("scene.") + direction.floatOperation);
        EXPECT_THAT(host().log().operations(), ElementsAreArray(expected));
        const std::vector<hostsim::HostCall> calls = host().log().calls();
        ASSERT_EQ(expected.size(), calls.size());
        for (int i = 0; i < kCount; ++i) {
            EXPECT_THAT(calls[i].arguments,
                        testing::ElementsAre(
                            hostsim::handleText(hostsim::tokenOf(channels[i]), host().serial()),
                            hostsim::pointerText(record)));
        }
        EXPECT_THAT(calls[kCount].arguments,
                    testing::ElementsAre(
                        hostsim::handleText(hostsim::tokenOf(dataWord), host().serial()), "5"));
    }
    EXPECT_EQ(valuesOf(saved), valuesOf(loaded)) << "all five are exact in single precision";

    instances().destroy(saved);
    instances().destroy(loaded);
    EXPECT_THAT(host().finalViolations(), IsEmpty());
}

TEST_F(ScenePersistenceTest, AChannelTheHostRefusedIsLeftOutOfSaveAndLoad) {
    // Both instances lost their v-shift channel when they were made.
    host().channels().refuseCreate(3);
    HostInstance saved = session.create(host().cameras().addCamera());
    host().channels().refuseCreate(3);
    HostInstance loading = session.create(host().cameras().addCamera());
    ASSERT_NE(nullptr, saved);
    ASSERT_NE(nullptr, loading);
    const InstanceChannels from = channelsOf(saved);
    const InstanceChannels to = channelsOf(loading);
    ASSERT_EQ(nullptr, from[2]);
    ASSERT_EQ(nullptr, to[2]);
    for (int i : {0, 1, 3, 4}) {
        host().channels().setKeys(from[i], keysFor(i));
    }
    const Values values = {1.5, 0.25, -0.75, 2.0, 0.125};
    setValues(saved, values);

    host().log().clear();
    saveScene(saved);
    SceneLoadRecord* scene = openScene();
    ASSERT_NE(nullptr, scene);
    EXPECT_EQ(static_cast<std::size_t>(kCount), host().scenes().unreadEntries(scene))
        << "four channels and the value block";
    EXPECT_EQ(nullptr, instances().load(loading, scene));
    EXPECT_THAT(host().scenes().readProblems(scene), IsEmpty());
    host().scenes().closeReading(scene);

    const std::vector<hostsim::HostCall> calls = host().log().calls();
    EXPECT_EQ(4u, callsOf(calls, SERVICE_VPARM_FUNCS, "save").size());
    EXPECT_EQ(4u, callsOf(calls, SERVICE_VPARM_FUNCS, "load").size());
    for (int i : {0, 1, 3, 4}) {
        EXPECT_EQ(keysFor(i), keysOf(host(), to[i])) << instanceParameters[i].channelName;
    }
    EXPECT_EQ(values, valuesOf(loading)) << "the value block still carries all five";

    instances().destroy(saved);
    instances().destroy(loading);
    EXPECT_THAT(host().finalViolations(), IsEmpty());
}

// --- Failures ------------------------------------------------------------------------------------

class FailingChannelTest : public ScenePersistenceTest, public testing::WithParamInterface<int> {};

TEST_P(FailingChannelTest, FailingLoadStopsThereAndLeavesTheValuesAlone) {
    const int failing = GetParam();
    HostInstance saved = createAnimated({1.5, 0.25, -0.75, 2.0, 0.125});
    ASSERT_NE(nullptr, saved);
    saveScene(saved);

    const Values before = {7.0, 8.0, 9.0, 10.0, 11.0};
    HostInstance loading = createOther(before);
    ASSERT_NE(nullptr, loading);
    const InstanceChannels channels = channelsOf(loading);
    std::array<std::vector<Key>, kCount> ownKeys;
    for (int i = 0; i < kCount; ++i) {
        ownKeys[i] = keysOf(host(), channels[i]);
    }
    host().channels().failLoad(channels[failing], "scene channel unreadable");

    SceneLoadRecord* scene = openScene();
    ASSERT_NE(nullptr, scene);
    host().log().clear();
    const HostError result = instances().load(loading, scene);
    const std::vector<hostsim::HostCall> calls = host().log().calls();

    EXPECT_STREQ("scene channel unreadable", result);
    // The host hands out the same text for every failing call: the module passed it unchanged.
    EXPECT_EQ(hostsim::ParamChannels::table()->load(channels[failing], scene), result);
    EXPECT_EQ(static_cast<std::size_t>(failing + 1),
              callsOf(calls, SERVICE_VPARM_FUNCS, "load").size());
    EXPECT_THAT(callsOf(calls, "scene", "readFloats"), IsEmpty()) << "the value block is not read";
    EXPECT_EQ(static_cast<std::size_t>(kCount + 1 - failing), host().scenes().unreadEntries(scene));
    host().scenes().closeReading(scene);

    for (int i = 0; i < kCount; ++i) {
        const std::vector<Key>& expected = i < failing ? keysFor(i) : ownKeys[i];
        EXPECT_EQ(expected, keysOf(host(), channels[i])) << instanceParameters[i].channelName;
    }
    EXPECT_EQ(before, valuesOf(loading));

    instances().destroy(saved);
    instances().destroy(loading);
    host().channels().clearFailures();
    EXPECT_THAT(host().finalViolations(), IsEmpty());
}

TEST_P(FailingChannelTest, FailingSaveStopsThereAndWritesNoValues) {
    const int failing = GetParam();
    HostInstance instance = createAnimated({1.5, 0.25, -0.75, 2.0, 0.125});
    ASSERT_NE(nullptr, instance);
    const InstanceChannels channels = channelsOf(instance);
    host().channels().failSave(channels[failing], "disk full");

    SceneSaveRecord* scene = host().scenes().openForWriting(scenePath());
    host().log().clear();
    const HostError result = instances().save(instance, scene);
    const std::vector<hostsim::HostCall> calls = host().log().calls();

    EXPECT_STREQ("disk full", result);
    EXPECT_EQ(hostsim::ParamChannels::table()->save(channels[failing], scene), result);
    EXPECT_EQ(static_cast<std::size_t>(failing + 1),
              callsOf(calls, SERVICE_VPARM_FUNCS, "save").size());
    EXPECT_THAT(callsOf(calls, "scene", "writeFloats"), IsEmpty());
    ASSERT_TRUE(host().scenes().finishWriting(scene));

    // The file holds exactly the channels saved before the failing one.
    SceneLoadRecord* written = openScene();
    ASSERT_NE(nullptr, written);
    EXPECT_EQ(static_cast<std::size_t>(failing), host().scenes().unreadEntries(written));
    host().scenes().closeReading(written);

    instances().destroy(instance);
    host().channels().clearFailures();
    EXPECT_THAT(host().finalViolations(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Channel, FailingChannelTest, testing::Values(0, 1, 4),
                         [](const auto& info) {
                             return std::string(instanceParameters[info.param].channelName);
                         });

TEST_F(ScenePersistenceTest, ShortFloatReadLeavesUndeliveredFieldsAsTheyWere) {
    const Values saved = {1.5, 0.25, -0.75, 2.0, 0.125}; // exact in single precision
    const Values before = {7.0, 8.0, 9.0, 10.0, 11.0};
    HostInstance instance = createAnimated(saved);
    ASSERT_NE(nullptr, instance);
    saveScene(instance);

    for (int delivered : {0, 1, 3, 4}) {
        SCOPED_TRACE(testing::Message() << delivered << " floats delivered");
        HostInstance loading = createOther(before);
        ASSERT_NE(nullptr, loading);
        SceneLoadRecord* scene = openScene();
        ASSERT_NE(nullptr, scene);
        host().scenes().limitFloatReads(scene, delivered);
        EXPECT_EQ(nullptr, instances().load(loading, scene));
        EXPECT_THAT(host().scenes().readProblems(scene), testing::Not(IsEmpty()))
            << "the host did cut the read short";
        host().scenes().closeReading(scene);

        const Values loaded = valuesOf(loading);
        for (int i = 0; i < kCount; ++i) {
            EXPECT_EQ(i < delivered ? saved[i] : before[i], loaded[i])
                << instanceParameters[i].channelName;
        }
        instances().destroy(loading);
    }
    instances().destroy(instance);
    EXPECT_THAT(host().finalViolations(), IsEmpty());
}

// --- Values at the edges of single precision -----------------------------------------------------

struct NarrowingCase {
    const char* title;
    Values saved;
    Values expected; // what comes back; NaN: any NaN
};

std::ostream& operator<<(std::ostream& out, const NarrowingCase& c) {
    return out << c.title;
}

class NarrowingTest : public ScenePersistenceTest,
                      public testing::WithParamInterface<NarrowingCase> {};

TEST_P(NarrowingTest, ValuesComeBackAsTheirNearestFloatOrInfinity) {
    HostInstance instance = createAnimated(GetParam().saved);
    ASSERT_NE(nullptr, instance);
    saveScene(instance);
    HostInstance loading = createOther({7.0, 8.0, 9.0, 10.0, 11.0});
    ASSERT_NE(nullptr, loading);
    SceneLoadRecord* scene = openScene();
    ASSERT_NE(nullptr, scene);
    EXPECT_EQ(nullptr, instances().load(loading, scene));
    EXPECT_THAT(host().scenes().readProblems(scene), IsEmpty());
    host().scenes().closeReading(scene);

    const Values loaded = valuesOf(loading);
    for (int i = 0; i < kCount; ++i) {
        SCOPED_TRACE(instanceParameters[i].channelName);
        const double expected = GetParam().expected[i];
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(loaded[i])) << loaded[i];
        } else {
            // Bit for bit, so that -0 is told from +0.
            EXPECT_EQ(std::bit_cast<std::uint64_t>(expected),
                      std::bit_cast<std::uint64_t>(loaded[i]))
                << "expected " << expected << ", loaded " << loaded[i];
        }
    }
    instances().destroy(instance);
    instances().destroy(loading);
    EXPECT_THAT(host().finalViolations(), IsEmpty());
}

constexpr double kFloatMax = FLT_MAX;
constexpr double kHalfwayPastFloatMax = 0x1.ffffffp127; // rounds to even: infinity
constexpr double kJustBelowHalfway = 0x1.fffffefffffffp127;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Values, NarrowingTest,
    testing::Values(NarrowingCase{"BeyondFloatRange",
                                  {1e39, -1e300, DBL_MAX, -DBL_MAX, kInf},
                                  {kInf, -kInf, kInf, -kInf, kInf}},
                    NarrowingCase{"AroundTheLargestFloat",
                                  {kFloatMax, kJustBelowHalfway, kHalfwayPastFloatMax,
                                   -kHalfwayPastFloatMax, -kJustBelowHalfway},
                                  {kFloatMax, kFloatMax, kInf, -kInf, -kFloatMax}},
                    NarrowingCase{"TinySignedAndNaN",
                                  {1e-50, -1e-50, 0x1p-149, kNaN, 0.1},
                                  {0.0, -0.0, 0x1p-149, kNaN, nearestFloat(0.1)}}),
    [](const auto& info) { return std::string(info.param.title); });

} // namespace
