// The global lookup, camera items, "Instance Update" and guarded records.
#include <cmath>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hostsim/sim_host.h"

namespace {

using hostsim::SimHost;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

constexpr double kHalfPi = 1.57079632679489661923;
constexpr double kTolerance = 1e-15;

const char* const kBuiltInServices[] = {
    SERVICE_VPARM_FUNCS, SERVICE_ITEM_INFO,           SERVICE_CAMERA_INFO,
    SERVICE_TIME_INFO,   SERVICE_ANIMATION_ENVELOPES, SERVICE_INSTANCE_UPDATE,
};

TEST(GlobalLookup, AnswersEveryServiceUnlessMadeAbsentAndLogsEachLookup) {
    SimHost host;
    ASSERT_EQ(SimHost::current(), &host);
    const GlobalLookupFn lookup = host.globalLookup();
    for (const char* name : kBuiltInServices) {
        EXPECT_NE(lookup(name, 0), nullptr) << name;
        host.setServiceAbsent(name);
        EXPECT_EQ(lookup(name, 0), nullptr) << name;
        host.setServiceAbsent(name, false);
        EXPECT_NE(lookup(name, 0), nullptr) << name;
    }
    EXPECT_EQ(lookup(SERVICE_XPANEL, 0) == nullptr, true) << "until the panel part provides it";
    int panelTable = 0;
    host.provideService(SERVICE_XPANEL, &panelTable);
    EXPECT_EQ(lookup(SERVICE_XPANEL, 0), &panelTable);
    EXPECT_EQ(lookup("Some Other Service", 0), nullptr);

    const auto calls = host.log().calls();
    ASSERT_EQ(calls.size(), 3 * std::size(kBuiltInServices) + 3);
    EXPECT_EQ(calls[0].service, "globalLookup");
    EXPECT_EQ(calls[0].operation, SERVICE_VPARM_FUNCS);
    EXPECT_EQ(calls.back().operation, "Some Other Service");
    EXPECT_THAT(host.finalViolations(), IsEmpty());

    lookup(nullptr, 0);
    lookup(SERVICE_TIME_INFO, 1);
    EXPECT_THAT(host.violations().all(),
                ElementsAre(HasSubstr("null service name"), HasSubstr("with use mode 1")));
}

TEST(GlobalLookup, TimeInfoAndInstanceUpdateAreLive) {
    SimHost host;
    const auto* timeInfo = static_cast<const TimeInfo*>(host.findService(SERVICE_TIME_INFO));
    host.setTime(2.5);
    EXPECT_EQ(timeInfo->time, 2.5);

    const auto update =
        reinterpret_cast<InstanceUpdateFn>(host.findService(SERVICE_INSTANCE_UPDATE));
    int instance = 0;
    EXPECT_EQ(update("CameraHandler", &instance), 1);
    const auto updates = host.instanceUpdates();
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].className, "CameraHandler");
    EXPECT_EQ(updates[0].instance, &instance);
    EXPECT_EQ(host.log().operations().back(), "Instance Update.update");

    // Any call into the envelope table is a violation (its operations are never needed).
    auto* envelopes = static_cast<void (**)()>(host.findService(SERVICE_ANIMATION_ENVELOPES));
    envelopes[3]();
    EXPECT_THAT(host.violations().all(), ElementsAre(HasSubstr("Animation Envelopes")));
}

class CameraItemsTest : public testing::Test {
  protected:
    DVec3 vector(int code, double time) {
        DVec3 out{99, 99, 99};
        itemInfo->vector(camera, code, time, &out);
        return out;
    }

    SimHost host;
    const ItemInfo* itemInfo = static_cast<const ItemInfo*>(host.findService(SERVICE_ITEM_INFO));
    const CameraInfo* cameraInfo =
        static_cast<const CameraInfo*>(host.findService(SERVICE_CAMERA_INFO));
    HostItemId camera = host.cameras().addCamera();
};

void expectNear(DVec3 expected, DVec3 actual) {
    EXPECT_NEAR(actual.x, expected.x, kTolerance);
    EXPECT_NEAR(actual.y, expected.y, kTolerance);
    EXPECT_NEAR(actual.z, expected.z, kTolerance);
}

TEST_F(CameraItemsTest, AxesFollowHeadingPitchAndBank) {
    struct Case {
        hostsim::HeadingPitchBank rotation;
        DVec3 right, up, forward;
    };
    const Case cases[] = {
        {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {{kHalfPi, 0, 0}, {0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
        {{0, kHalfPi, 0}, {1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
        {{0, 0, kHalfPi}, {0, 1, 0}, {-1, 0, 0}, {0, 0, 1}},
        // Bank first, then pitch, then heading.
        {{kHalfPi, kHalfPi, 0}, {0, 0, -1}, {1, 0, 0}, {0, -1, 0}},
    };
    for (const Case& c : cases) {
        host.cameras().setRotationKey(camera, 0.0, c.rotation);
        SCOPED_TRACE(testing::Message()
                     << c.rotation.heading << " " << c.rotation.pitch << " " << c.rotation.bank);
        expectNear(c.right, vector(ITEM_RIGHT, 0.0));
        expectNear(c.up, vector(ITEM_UP, 0.0));
        expectNear(c.forward, vector(ITEM_FORWARD, 0.0));
    }
    EXPECT_THAT(host.finalViolations(), IsEmpty());
}

TEST_F(CameraItemsTest, KeyedPositionAndLensInterpolateOverTime) {
    host.cameras().setPositionKey(camera, 0.0, {0, 0, 0});
    host.cameras().setPositionKey(camera, 2.0, {2, -4, 8});
    host.cameras().setZoomFactorKey(camera, 1.0, 2.0);
    host.cameras().setZoomFactorKey(camera, 3.0, 4.0);
    host.cameras().setFocusDistanceKey(camera, 0.0, 5.0);
    host.cameras().setFStopKey(camera, 0.0, 2.8);

    const DVec3 halfway = vector(ITEM_POSITION, 1.0);
    EXPECT_EQ(halfway.x, 1.0);
    EXPECT_EQ(halfway.y, -2.0);
    EXPECT_EQ(halfway.z, 4.0);
    EXPECT_EQ(cameraInfo->zoomFactor(camera, 2.0), 3.0);
    EXPECT_EQ(cameraInfo->zoomFactor(camera, 0.0), 2.0) << "held before the first key";
    EXPECT_EQ(cameraInfo->focusDistance(camera, 9.0), 5.0);
    EXPECT_EQ(cameraInfo->fStop(camera, 9.0), 2.8);

    HostItemId other = host.cameras().addCamera("Other");
    EXPECT_EQ(cameraInfo->zoomFactor(other, 0.0), hostsim::kDefaultZoomFactor);
    EXPECT_EQ(itemInfo->channelGroup(other), host.cameras().channelGroupOf(other));
    EXPECT_NE(itemInfo->channelGroup(other), itemInfo->channelGroup(camera));
    EXPECT_THAT(host.log().operations(), testing::Contains("LW Camera Info 5.focusDistance"));
    EXPECT_THAT(host.finalViolations(), IsEmpty());
}

TEST_F(CameraItemsTest, OverridesReturnRawVectorsAndBadCallsAreViolations) {
    const double nan = std::nan("");
    host.cameras().overrideVector(camera, ITEM_FORWARD, {0, 0, 2.5});
    host.cameras().overrideVector(camera, ITEM_UP, {nan, 0, 0});
    EXPECT_EQ(vector(ITEM_FORWARD, 7.0).z, 2.5);
    EXPECT_TRUE(std::isnan(vector(ITEM_UP, 0.0).x));
    host.cameras().clearOverrides(camera);
    EXPECT_EQ(vector(ITEM_FORWARD, 0.0).z, 1.0);
    EXPECT_THAT(host.violations().all(), IsEmpty());

    HostItemId bogus = reinterpret_cast<HostItemId>(std::uintptr_t{0xDEAD});
    DVec3 out{99, 99, 99};
    itemInfo->vector(bogus, ITEM_POSITION, 0.0, &out);
    itemInfo->vector(camera, 5, 0.0, &out);
    itemInfo->vector(camera, ITEM_POSITION, 0.0, nullptr);
    EXPECT_EQ(out.x, 99.0) << "nothing is written on a bad call";
    EXPECT_EQ(itemInfo->channelGroup(bogus), nullptr);
    EXPECT_EQ(cameraInfo->fStop(bogus, 0.0), 0.0);
    const auto unusedSlot = reinterpret_cast<void(HOSTCALL*)()>(itemInfo->hostSlots[0]);
    unusedSlot();

    const auto violations = host.violations().all();
    ASSERT_EQ(violations.size(), 6u);
    EXPECT_THAT(violations[0], HasSubstr("vector: 0xdead is not an item of this host"));
    EXPECT_THAT(violations[1], HasSubstr("unknown code 5"));
    EXPECT_THAT(violations[2], HasSubstr("no place for the vector"));
    EXPECT_THAT(violations[3], HasSubstr("channelGroup: 0xdead"));
    EXPECT_THAT(violations[4], HasSubstr("fStop: 0xdead"));
    EXPECT_THAT(violations[5], HasSubstr("does not use was called"));
}

TEST(GuardedRecord, AWriteOutsideTheRecordIsAViolation) {
    SimHost host;
    {
        hostsim::GuardedRecord<RayRecord> ray("RayRecord");
        ray->direction = DVec3{1, 2, 3};
        EXPECT_TRUE(ray.check());
        reinterpret_cast<unsigned char*>(ray.get() + 1)[2] = 0; // just past the end
        EXPECT_FALSE(ray.guardsIntact());
        EXPECT_THAT(ray.damage(), HasSubstr("1 bytes after RayRecord overwritten, first at "
                                            "offset +2"));
        hostsim::GuardedRecord<Matrix4d> matrices("Matrix4d", 2, 0xCD);
        EXPECT_EQ(reinterpret_cast<unsigned char*>(matrices.get())[2 * sizeof(Matrix4d) - 1], 0xCD);
        reinterpret_cast<unsigned char*>(matrices.get())[-1] = 0;
    } // damage found when the records are freed, the later one first
    EXPECT_THAT(host.violations().all(),
                ElementsAre(HasSubstr("1 bytes before Matrix4d overwritten, furthest at "
                                      "offset -1"),
                            HasSubstr("after RayRecord")));
}

} // namespace
