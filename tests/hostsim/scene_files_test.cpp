// Scene files: what one host saves, another loads back bit for bit; damaged or short scenes
// give clear errors instead of invented values.
#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hostsim/sim_host.h"

namespace {

using hostsim::Key;
using hostsim::SimHost;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

std::string scenePath(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::string("hostsim_") + name)).string();
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

const VParmFuncs* vparmOf(SimHost& host) {
    return static_cast<const VParmFuncs*>(host.findService(SERVICE_VPARM_FUNCS));
}

ParamChannel makeChannel(SimHost& host, const char* name, int type) {
    const VParmFuncs* vparm = vparmOf(host);
    ParamChannel channel = vparm->create(type, -1);
    vparm->setup(channel, name, nullptr, nullptr, nullptr, nullptr, nullptr);
    return channel;
}

std::uint64_t bitsOf(double value) {
    return std::bit_cast<std::uint64_t>(value);
}
std::uint32_t bitsOf(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

TEST(SceneFiles, ChannelsAndFloatsRoundTripExactlyIntoAnotherHost) {
    const std::string path = scenePath("round_trip.scene");
    const std::vector<Key> zoomKeys = {
        {0.0, 0.1}, {1.0 / 3.0, 2.6217}, {0.5, -0.0}, {2.0, 1e-310}, {7.0, 1.7976931348623157e308}};
    const std::vector<Key> tiltKeys = {{0.0, std::numeric_limits<double>::infinity()},
                                       {1.0, std::bit_cast<double>(0x7FF80000DEADBEEFull)}};
    const float floats[5] = {0.1f, -0.0f, std::numeric_limits<float>::infinity(),
                             std::bit_cast<float>(0x7FC0BEEFu), 1e-45f};
    ParamChannel foreignHandle = nullptr;
    {
        SimHost writer;
        const VParmFuncs* vparm = vparmOf(writer);
        ParamChannel zoom = makeChannel(writer, "ZoomFactor", CHANNEL_FLOAT);
        ParamChannel tilt = makeChannel(writer, "Tilt Angle%", CHANNEL_ANGLE);
        writer.channels().setKeys(zoom, zoomKeys);
        writer.channels().setKeys(tilt, tiltKeys);
        SceneSaveRecord* scene = writer.scenes().openForWriting(path);
        EXPECT_EQ(vparm->save(zoom, scene), nullptr);
        EXPECT_EQ(vparm->save(tilt, scene), nullptr);
        EXPECT_EQ(scene->writeFloats(scene->writerData, floats, 5), 5);
        std::string error;
        ASSERT_TRUE(writer.scenes().finishWriting(scene, &error)) << error;
        vparm->destroy(zoom);
        vparm->destroy(tilt);
        foreignHandle = zoom;
        EXPECT_THAT(writer.finalViolations(), IsEmpty());
    }

    SimHost reader;
    const VParmFuncs* vparm = vparmOf(reader);
    ParamChannel zoom = makeChannel(reader, "ZoomFactor", CHANNEL_FLOAT);
    ParamChannel tilt = makeChannel(reader, "Tilt Angle%", CHANNEL_ANGLE);
    std::string error;
    SceneLoadRecord* scene = reader.scenes().openForReading(path, &error);
    ASSERT_NE(scene, nullptr) << error;
    EXPECT_EQ(vparm->load(zoom, scene), nullptr);
    EXPECT_EQ(vparm->load(tilt, scene), nullptr);
    float loaded[5] = {};
    EXPECT_EQ(scene->readFloats(scene->readerData, loaded, 5), 5);
    EXPECT_EQ(reader.scenes().unreadEntries(scene), 0u);
    EXPECT_THAT(reader.scenes().readProblems(scene), IsEmpty());

    const auto expectSameBits = [](const std::vector<Key>& expected, const std::vector<Key>& got) {
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(bitsOf(got[i].time), bitsOf(expected[i].time)) << "key " << i;
            EXPECT_EQ(bitsOf(got[i].value), bitsOf(expected[i].value)) << "key " << i;
        }
    };
    expectSameBits(zoomKeys, reader.channels().info(zoom)->keys);
    expectSameBits(tiltKeys, reader.channels().info(tilt)->keys);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(bitsOf(loaded[i]), bitsOf(floats[i])) << "float " << i;
    }

    // The first host's handle means nothing here, even though its number matches.
    vparm->destroy(foreignHandle);
    EXPECT_THAT(reader.violations().all(),
                ElementsAre(HasSubstr("channel#1 (other host) is not a channel of this host")));
    reader.violations().clear();

    reader.scenes().closeReading(scene);
    vparm->destroy(zoom);
    vparm->destroy(tilt);
    EXPECT_THAT(reader.finalViolations(), IsEmpty());
    std::filesystem::remove(path);
}

TEST(SceneFiles, AReadOfFloatsThatFindsFewerFillsOnlyWhatItHas) {
    const std::string path = scenePath("short.scene");
    writeText(path, "floats 5 1 2 3 4 5\nfloats 2 0.5 0.25\nfloats 3 1 2\n");
    SimHost host;
    SceneLoadRecord* scene = host.scenes().openForReading(path);
    ASSERT_NE(scene, nullptr);

    struct Case {
        int limit;       // -1: no limit
        int delivered;   // what the read returns
        float values[5]; // the array afterwards, 9 where nothing was delivered
    };
    const Case cases[] = {
        {2, 2, {1, 2, 9, 9, 9}},         // the hook holds back values the scene has
        {-1, 2, {0.5f, 0.25f, 9, 9, 9}}, // the scene has only two
        {-1, 2, {1, 2, 9, 9, 9}},        // the line says three but holds two
    };
    for (const Case& c : cases) {
        host.scenes().limitFloatReads(scene, c.limit);
        float values[5] = {9, 9, 9, 9, 9};
        EXPECT_EQ(scene->readFloats(scene->readerData, values, 5), c.delivered);
        EXPECT_THAT(values, testing::ElementsAreArray(c.values));
    }
    float values[1] = {9};
    EXPECT_EQ(scene->readFloats(scene->readerData, values, 1), 0) << "at the end";
    EXPECT_EQ(values[0], 9.0f);

    const auto problems = host.scenes().readProblems(scene);
    ASSERT_EQ(problems.size(), 5u);
    EXPECT_THAT(problems[0], HasSubstr("line 1: 5 floats asked for, 2 delivered"));
    EXPECT_THAT(problems[1], HasSubstr("line 2: 5 floats asked for, 2 delivered"));
    EXPECT_THAT(problems[2], HasSubstr("line 3: states 3 floats but holds 2"));
    EXPECT_THAT(problems[4], HasSubstr("1 floats were asked for at the end"));
    host.scenes().closeReading(scene);
    EXPECT_THAT(host.finalViolations(), IsEmpty()) << "a short scene is not the module's fault";
    std::filesystem::remove(path);
}

TEST(SceneFiles, ChannelLoadsThatCannotReadTheirEntryReturnAnErrorText) {
    const std::string path = scenePath("damaged.scene");
    writeText(path, "# made by hand\n"
                    "channel HShift 32 1 0 0.5\n"
                    "channel VShift 32 2 0 1\n"
                    "floats 1 2\n"
                    "channel TiltAngle 64 1 0 0.5\n"
                    "channel ZoomFactor 16 1 0 x\n");
    SimHost host;
    const VParmFuncs* vparm = vparmOf(host);
    ParamChannel zoom = makeChannel(host, "ZoomFactor", CHANNEL_FLOAT);
    ParamChannel vShift = makeChannel(host, "VShift", CHANNEL_PERCENT);
    ParamChannel hShift = makeChannel(host, "HShift", CHANNEL_PERCENT);
    SceneLoadRecord* scene = host.scenes().openForReading(path);
    ASSERT_NE(scene, nullptr);

    struct Case {
        ParamChannel channel;
        const char* error;
    };
    const Case cases[] = {
        {hShift, nullptr},
        {vShift, "line 3: key count does not match"},
        {zoom, "line 4: not a channel entry"},
        {zoom, "next channel is \"TiltAngle\" (type 64), not the one being loaded"},
        {zoom, "line 6: a key is not a pair of numbers"},
        {zoom, "a channel was asked for at the end"},
    };
    for (const Case& c : cases) {
        const HostError error = vparm->load(c.channel, scene);
        if (c.error == nullptr) {
            EXPECT_EQ(error, nullptr);
        } else {
            ASSERT_NE(error, nullptr) << c.error;
            EXPECT_THAT(error, HasSubstr(c.error));
        }
    }
    EXPECT_EQ(host.channels().info(hShift)->keys, (std::vector<Key>{{0.0, 0.5}}));
    EXPECT_TRUE(host.channels().info(zoom)->keys.empty()) << "a failed load changes nothing";

    host.channels().failLoad(vShift, "no envelope");
    EXPECT_STREQ(vparm->load(vShift, scene), "no envelope");
    host.scenes().closeReading(scene);
    for (ParamChannel channel : {zoom, vShift, hShift}) {
        vparm->destroy(channel);
    }
    EXPECT_THAT(host.finalViolations(), IsEmpty());
    std::filesystem::remove(path);
}

TEST(SceneFiles, OpeningAMissingOrForeignFileIsAClearError) {
    SimHost host;
    std::string error;
    EXPECT_EQ(host.scenes().openForReading(scenePath("missing.scene"), &error), nullptr);
    EXPECT_THAT(error, HasSubstr("missing.scene: cannot be opened"));

    const std::string path = scenePath("foreign.scene");
    writeText(path, "channel A 16 0\nenvelope 3\n");
    EXPECT_EQ(host.scenes().openForReading(path, &error), nullptr);
    EXPECT_THAT(error, HasSubstr("line 2 is not a scene entry"));
    std::filesystem::remove(path);
}

TEST(SceneFiles, SaveFailuresAndForeignRecordsAreReported) {
    const std::string path = scenePath("failing.scene");
    SimHost host;
    const VParmFuncs* vparm = vparmOf(host);
    ParamChannel zoom = makeChannel(host, "ZoomFactor", CHANNEL_FLOAT);
    SceneSaveRecord* scene = host.scenes().openForWriting(path);
    host.channels().failSave(zoom, "disk full");
    EXPECT_STREQ(vparm->save(zoom, scene), "disk full");

    host.channels().clearFailures();
    SceneSaveRecord notOurs{};
    EXPECT_NE(vparm->save(zoom, &notOurs), nullptr);
    float value = 1.0f;
    EXPECT_EQ(scene->writeFloats(&notOurs, &value, 1), 0);
    EXPECT_TRUE(host.scenes().finishWriting(scene));

    const auto violations = host.violations().all();
    ASSERT_EQ(violations.size(), 2u);
    EXPECT_THAT(violations[0], HasSubstr("is not an open scene save record"));
    EXPECT_THAT(violations[1], HasSubstr("is not the writer word of an open scene record"));
    vparm->destroy(zoom);
    std::filesystem::remove(path);
}

} // namespace
