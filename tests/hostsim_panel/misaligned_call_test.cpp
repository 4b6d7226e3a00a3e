// Calls with the real host's stack: aligned to 4 bytes only. On 32-bit Windows the stand-in
// host calls the module through a trampoline that puts the stack at 4 mod 16; the module, built
// not to assume more, must give the same results as through a normal call. In the native build
// the host calls directly and these tests check that the wrapper passes everything through.
#include <cstdint>
#include <cstring>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/activation.h"
#include "host/host_records.h"
#include "hostsim/guarded_record.h"
#include "hostsim/misaligned_call.h"
#include "hostsim/sim_host.h"
#include "hostsim/xpanel_service.h"
#include "lifecycle/instance_lifecycle.h"
#include "model/preview_projection.h"
#include "model/ray_evaluation.h"
#include "model/sample_table.h"
#include "panel/panel_values.h"

namespace {

using hostsim::callModule;
using testing::IsEmpty;

// Reports back exactly what it was given, so packing of ints, doubles and pointers shows.
extern "C" int HOSTCALL checkArguments(int first, double second, std::uint32_t third,
                                       const char* fourth, double fifth) {
    return first == -7 && second == 2.5 && third == 0xDEADBEEFu &&
           std::strcmp(fourth, "word") == 0 && fifth == -1e300;
}

TEST(MisalignedCall, PassesIntsDoublesAndPointersInCdeclOrder) {
    EXPECT_EQ(callModule(checkArguments, -7, 2.5, 0xDEADBEEFu, "word", -1e300), 1);
    EXPECT_EQ(callModule(checkArguments, -7, 2.5, 0xDEADBEEFu, "word", 1e300), 0);
}

#if HOSTSIM_MISALIGNED_CALLS
// Calls the probe from a caller whose own stack is offset by `padding` bytes, so every
// alignment the caller could have is tried.
std::uint32_t probeWithPadding(int padding) {
    volatile char* pad = static_cast<volatile char*>(__builtin_alloca(padding + 1));
    pad[0] = 0;
    return callModule(hostsim::hostsim_misaligned_argument_address);
}

TEST(MisalignedCall, TheCalleeFindsTheStackAt4Mod16WhateverTheCallersAlignment) {
    for (int padding = 0; padding < 32; ++padding) {
        EXPECT_EQ(probeWithPadding(padding) % 16, 4u) << padding;
    }
}
#endif

// The module's callbacks, each called normally and through the host's call path, with the
// same inputs: the results must not differ in a single bit.
class ModuleThroughHostStack : public testing::Test {
  protected:
    void SetUp() override {
        handler->instance = instanceTable.get();
        ASSERT_EQ(callModule(activateHandler, HANDLER_VERSION, host.globalLookup(),
                             static_cast<void*>(handler.get()), static_cast<void*>(nullptr)),
                  0);
        camera = host.cameras().addCamera();
        host.cameras().setPositionKey(camera, 0.0, DVec3{1.0, 2.0, 3.0});
        host.cameras().setRotationKey(camera, 0.0, {0.3, -0.2, 0.1});
        HostError error = nullptr;
        instance = callModule(createInstance, static_cast<void*>(nullptr), camera, &error);
        ASSERT_NE(instance, nullptr) << error;
        cameraRecord->cameraItem = camera;
        cameraRecord->filmWidth = 0.036;
        cameraRecord->filmHeight = 0.024;
        timing->start = 0.0;
        timing->duration = 0.04;
        timing->motionSteps = 2;
    }
    void TearDown() override {
        callModule(destroyInstance, instance);
        EXPECT_THAT(host.finalViolations(), IsEmpty());
    }

    hostsim::SimHost host;
    hostsim::XPanelService panels{host};
    hostsim::GuardedRecord<InstanceCallbackTable> instanceTable{"InstanceCallbackTable"};
    hostsim::GuardedRecord<HandlerCallbackTable> handler{"HandlerCallbackTable"};
    hostsim::GuardedRecord<HostCameraRecord> cameraRecord{"HostCameraRecord"};
    hostsim::GuardedRecord<FrameTiming> timing{"FrameTiming"};
    HostItemId camera = nullptr;
    HostInstance instance = nullptr;
};

TEST_F(ModuleThroughHostStack, PreviewMatrixIsBitForBitTheSame) {
    hostsim::GuardedRecord<Matrix4d> direct("Matrix4d"), hosted("Matrix4d");
    ASSERT_EQ(buildPreviewMatrix(instance, 0.1, -0.2, direct.get(), cameraRecord.get()), 1);
    ASSERT_EQ(callModule(buildPreviewMatrix, instance, 0.1, -0.2, hosted.get(),
                         static_cast<const HostCameraRecord*>(cameraRecord.get())),
              1);
    EXPECT_EQ(std::memcmp(direct.get(), hosted.get(), sizeof(Matrix4d)), 0);
}

TEST_F(ModuleThroughHostStack, RaysAreBitForBitTheSame) {
    ASSERT_EQ(callModule(buildSampleTable, instance, static_cast<const FrameTiming*>(timing.get()),
                         static_cast<const HostCameraRecord*>(cameraRecord.get())),
              nullptr);
    const double samples[][5] = {
        {0.0, 0.0, 0.0, 0.0, 0.0}, {0.3, -0.2, 0.5, 0.5, 0.25}, {-0.5, 0.5, 1.0, 0.0, 0.99}};
    for (const auto& s : samples) {
        hostsim::GuardedRecord<RayRecord> direct("RayRecord"), hosted("RayRecord");
        ASSERT_EQ(evaluateRay(instance, s[0], s[1], s[2], s[3], s[4], direct.get()), 1);
        ASSERT_EQ(callModule(evaluateRay, instance, s[0], s[1], s[2], s[3], s[4], hosted.get()), 1);
        EXPECT_EQ(std::memcmp(direct.get(), hosted.get(), sizeof(RayRecord)), 0) << s[4];
    }
}

TEST_F(ModuleThroughHostStack, PanelValuesAreTheSame) {
    for (std::uint32_t id = 0x8001; id <= 0x8007; ++id) {
        void* direct = panelGet(instance, id);
        void* hosted = callModule(panelGet, instance, id);
        if (id == 0x8002) {
            ASSERT_NE(direct, nullptr);
            ASSERT_NE(hosted, nullptr);
            EXPECT_STREQ(static_cast<const char*>(direct), static_cast<const char*>(hosted));
        } else {
            EXPECT_EQ(direct, hosted) << id;
        }
    }
    const double value = 0.75;
    EXPECT_EQ(callModule(panelSet, instance, 0x8006u, static_cast<const void*>(&value)), 1);
    EXPECT_EQ(callModule(panelSet, instance, 0x8002u, static_cast<const void*>(&value)), 0);
}

} // namespace
