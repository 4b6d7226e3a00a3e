// The parameter channel service as the module reaches it: through the "LWVParmFuncs 2" table.
#include <cmath>
#include <limits>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hostsim/sim_host.h"

namespace {

using hostsim::Key;
using hostsim::SimHost;
using testing::HasSubstr;
using testing::IsEmpty;

class ChannelsTest : public testing::Test {
  protected:
    ParamChannel makeChannel(const char* name, int type = CHANNEL_FLOAT) {
        ParamChannel channel = vparm->create(type, -1);
        vparm->setup(channel, name, group, nullptr, nullptr, nullptr, nullptr);
        return channel;
    }

    SimHost host;
    const VParmFuncs* vparm = static_cast<const VParmFuncs*>(host.findService(SERVICE_VPARM_FUNCS));
    ChannelGroup group = host.cameras().channelGroupOf(host.cameras().addCamera());
};

TEST_F(ChannelsTest, KeyedChannelInterpolatesLinearlyAndHoldsOutsideItsKeys) {
    ParamChannel channel = makeChannel("ZoomFactor");
    host.channels().setKeys(channel, {{2.0, 5.0}, {0.0, 1.0}, {3.0, -1.0}}); // any order
    struct Case {
        double time;
        double value;
    };
    const Case cases[] = {{-10.0, 1.0}, {0.0, 1.0}, {0.5, 2.0},  {1.0, 3.0},
                          {2.0, 5.0},   {2.5, 2.0}, {3.0, -1.0}, {1e9, -1.0}};
    for (const Case& c : cases) {
        double out[3] = {7.0, 7.0, 7.0};
        const double result = vparm->getValue(channel, c.time, nullptr, out);
        EXPECT_EQ(out[0], c.value) << "at " << c.time;
        EXPECT_EQ(result, c.value) << "at " << c.time;
        EXPECT_EQ(out[1], 7.0) << "only element 0 is written";
        EXPECT_EQ(out[2], 7.0);
    }
    vparm->destroy(channel);
    EXPECT_THAT(host.finalViolations(), IsEmpty());
}

TEST_F(ChannelsTest, SetValueReplacesTheAnimationWithAConstant) {
    ParamChannel channel = makeChannel("HShift", CHANNEL_PERCENT);
    host.channels().setKeys(channel, {{0.0, 1.0}, {1.0, 2.0}});
    const double value = 0.25;
    EXPECT_EQ(vparm->setValue(channel, &value), 1);
    EXPECT_EQ(host.channels().info(channel)->keys, (std::vector<Key>{{0.0, 0.25}}));
    double out[1] = {0.0};
    vparm->getValue(channel, 40.0, nullptr, out);
    EXPECT_EQ(out[0], 0.25);
    vparm->destroy(channel);
    EXPECT_THAT(host.finalViolations(), IsEmpty());
}

TEST_F(ChannelsTest, SetupIsRecordedForInspection) {
    ParamChannel channel = makeChannel("TiltAngle", CHANNEL_ANGLE);
    const auto info = host.channels().info(channel);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->name, "TiltAngle");
    EXPECT_EQ(info->typeCode, CHANNEL_ANGLE);
    EXPECT_EQ(info->flags, -1);
    EXPECT_EQ(info->group, group);
    EXPECT_EQ(info->setupCount, 1);
    EXPECT_TRUE(info->alive);
    EXPECT_EQ(host.log().operations().back(), "LWVParmFuncs 2.setup");
    EXPECT_EQ(host.log().calls().back().arguments[0], "channel#1");
    vparm->destroy(channel);
}

TEST_F(ChannelsTest, MisuseOfHandlesIsAViolationNotACrash) {
    ParamChannel channel = makeChannel("VShift");
    vparm->destroy(channel);
    EXPECT_TRUE(host.channels().destroyedExactlyOnce(channel));
    EXPECT_THAT(host.finalViolations(), IsEmpty());

    double out[1] = {42.0};
    const double one = 1.0;
    vparm->getValue(channel, 0.0, nullptr, out); // use after destroy
    vparm->setValue(channel, &one);
    vparm->destroy(channel); // double destroy
    ParamChannel garbage = reinterpret_cast<ParamChannel>(std::uintptr_t{0x1234});
    vparm->destroy(garbage);
    vparm->getValue(garbage, 0.0, nullptr, out);
    EXPECT_EQ(out[0], 42.0) << "nothing is written for a bad handle";
    EXPECT_EQ(vparm->create(99, -1), nullptr); // unknown type code

    const auto violations = host.finalViolations();
    ASSERT_EQ(violations.size(), 6u);
    EXPECT_THAT(violations[0], HasSubstr("getValue: channel#1 used after it was destroyed"));
    EXPECT_THAT(violations[1], HasSubstr("setValue: channel#1 used after"));
    EXPECT_THAT(violations[2], HasSubstr("destroy: channel#1 destroyed again"));
    EXPECT_THAT(violations[3], HasSubstr("0x1234 is not a channel of this host"));
    EXPECT_THAT(violations[4], HasSubstr("0x1234 is not a channel"));
    EXPECT_THAT(violations[5], HasSubstr("unknown type code 99"));
    EXPECT_FALSE(host.channels().destroyedExactlyOnce(channel));
}

TEST_F(ChannelsTest, BadArgumentsAreViolations) {
    ParamChannel channel = makeChannel("ZoomFactor");
    int notZero = 0;
    EXPECT_EQ(vparm->setValue(channel, nullptr), 0);
    vparm->getValue(channel, 0.0, nullptr, nullptr);
    vparm->setup(channel, "Again", reinterpret_cast<ChannelGroup>(std::uintptr_t{8}), &notZero,
                 nullptr, nullptr, nullptr);
    const auto violations = host.violations().all();
    ASSERT_EQ(violations.size(), 5u);
    EXPECT_THAT(violations[0], HasSubstr("null value"));
    EXPECT_THAT(violations[1], HasSubstr("no place for the value"));
    EXPECT_THAT(violations[2], HasSubstr("0x8 is not a channel group"));
    EXPECT_THAT(violations[3], HasSubstr("non-zero word"));
    EXPECT_THAT(violations[4], HasSubstr("set up again"));
    vparm->destroy(channel);
}

TEST_F(ChannelsTest, ChannelsStillAliveAreReportedAsLeaks) {
    makeChannel("ZoomFactor");
    ParamChannel freed = makeChannel("HShift");
    makeChannel("VShift");
    vparm->destroy(freed);
    EXPECT_EQ(host.channels().aliveCount(), 2u);
    const auto violations = host.finalViolations();
    ASSERT_EQ(violations.size(), 2u);
    EXPECT_THAT(violations[0], HasSubstr("leak: channel#1 \"ZoomFactor\""));
    EXPECT_THAT(violations[1], HasSubstr("leak: channel#3 \"VShift\""));
    for (ParamChannel channel : host.channels().alive()) {
        vparm->destroy(channel);
    }
}

TEST_F(ChannelsTest, CopiedChannelYieldsTheSourceAnimationAtEveryTime) {
    ParamChannel source = makeChannel("ZoomFactor");
    ParamChannel destination = makeChannel("ZoomFactor");
    host.channels().setKeys(source, {{0.0, 2.0}, {1.0, 4.0}, {3.0, 1.0}});
    const double old = 9.0;
    vparm->setValue(destination, &old);

    EXPECT_EQ(vparm->copy(destination, source), nullptr);
    for (double time : {-1.0, 0.0, 0.3, 1.0, 2.2, 3.0, 8.0}) {
        double fromSource[1];
        double fromCopy[1];
        vparm->getValue(source, time, nullptr, fromSource);
        vparm->getValue(destination, time, nullptr, fromCopy);
        EXPECT_EQ(fromCopy[0], fromSource[0]) << "at " << time;
    }
    // Each keeps its own animation afterwards.
    host.channels().setKey(source, 1.0, 100.0);
    EXPECT_EQ(host.channels().valueAt(destination, 1.0), 4.0);

    vparm->destroy(source);
    vparm->destroy(destination);
    EXPECT_THAT(host.finalViolations(), IsEmpty());
}

TEST_F(ChannelsTest, CopyAcrossTypesOrFromADestroyedChannelIsAViolation) {
    ParamChannel zoom = makeChannel("ZoomFactor", CHANNEL_FLOAT);
    ParamChannel angle = makeChannel("TiltAngle", CHANNEL_ANGLE);
    ParamChannel gone = makeChannel("HShift", CHANNEL_PERCENT);
    vparm->destroy(gone);
    EXPECT_EQ(vparm->copy(angle, zoom), nullptr);
    EXPECT_NE(vparm->copy(zoom, gone), nullptr);
    const auto violations = host.violations().all();
    ASSERT_EQ(violations.size(), 2u);
    EXPECT_THAT(violations[0], HasSubstr("(type 16) copied into channel#2 (type 64)"));
    EXPECT_THAT(violations[1], HasSubstr("channel#3 used after it was destroyed"));
    vparm->destroy(zoom);
    vparm->destroy(angle);
}

TEST_F(ChannelsTest, FailureHooksRefuseCreatesAndFailCopiesWithAStableText) {
    ParamChannel first = makeChannel("ZoomFactor");
    host.channels().refuseCreate(2);
    ParamChannel second = vparm->create(CHANNEL_FLOAT, -1);
    ParamChannel refused = vparm->create(CHANNEL_FLOAT, -1);
    ParamChannel fourth = vparm->create(CHANNEL_FLOAT, -1);
    EXPECT_NE(second, nullptr);
    EXPECT_EQ(refused, nullptr);
    EXPECT_NE(fourth, nullptr);
    EXPECT_EQ(host.channels().createCalls(), 4);
    EXPECT_EQ(host.channels().created().size(), 3u);

    host.channels().failCopy(second, "copy refused");
    const HostError error = vparm->copy(second, first);
    EXPECT_STREQ(error, "copy refused");
    EXPECT_EQ(vparm->copy(second, first), error) << "the same text every time";
    EXPECT_EQ(vparm->copy(fourth, first), nullptr);
    host.channels().clearFailures();
    EXPECT_EQ(vparm->copy(second, first), nullptr);

    for (ParamChannel channel : {first, second, fourth}) {
        vparm->destroy(channel);
    }
    EXPECT_THAT(host.finalViolations(), IsEmpty());
}

TEST(KeyCurve, EdgeValuesInterpolateWithoutInventingNumbers) {
    hostsim::KeyCurve curve;
    EXPECT_EQ(curve.valueAt(1.0), 0.0) << "no keys";
    EXPECT_FALSE(curve.setKey(std::nan(""), 1.0));
    const double inf = std::numeric_limits<double>::infinity();
    ASSERT_TRUE(curve.setKeys({{0.0, 1.0}, {1.0, inf}}));
    EXPECT_EQ(curve.valueAt(0.0), 1.0) << "a key's own time yields its value exactly";
    EXPECT_EQ(curve.valueAt(1.0), inf);
    EXPECT_TRUE(std::isnan(curve.valueAt(std::nan(""))));
}

} // namespace
