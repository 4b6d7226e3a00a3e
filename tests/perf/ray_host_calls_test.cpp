// Rendering never calls the host: each built module file, loaded as the host loads it, builds
// its table for a frame and then has a whole image's camera rays evaluated on two threads with
// the host's call log recording. The log must not grow by one call during the render, while
// the new frame before it does call the host (so the log is known to be listening).
#include <memory>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/host_records.h"
#include "hostsim/guarded_record.h"
#include "hostsim/misaligned_call.h"
#include "hostsim/module_session.h"
#include "hostsim/render/default_scene.h"
#include "hostsim/render/render_driver.h"
#include "model/camera_instance.h"
#include "support/module_paths.h"

namespace {

using testing::IsEmpty;
using vellary::test::builtModulePath;

// A camera that moves, zooms, shifts and tilts during the frame, so the rays come from every
// part of the table.
void animate(hostsim::SimHost& host, HostItemId item, const CameraInstance& camera) {
    host.cameras().setPositionKey(item, 0.0, DVec3{0.0, 1.6, -5.0});
    host.cameras().setPositionKey(item, 1.0, DVec3{0.3, 1.7, -4.0});
    host.cameras().setRotationKey(item, 0.0, hostsim::HeadingPitchBank{0.1, -0.05, 0.0});
    host.cameras().setRotationKey(item, 1.0, hostsim::HeadingPitchBank{0.2, 0.0, 0.02});
    host.cameras().setFocusDistanceKey(item, 0.0, 8.0);
    host.cameras().setFStopKey(item, 0.0, 2.8);
    host.channels().setKeys(camera.zoomChannel, {{0.0, 2.0}, {1.0, 2.4}});
    host.channels().setKeys(camera.hShiftChannel, {{0.0, 0.05}});
    host.channels().setKeys(camera.vShiftChannel, {{0.0, -0.1}});
    host.channels().setKeys(camera.tiltDirectionChannel, {{0.0, 0.3}});
    host.channels().setKeys(camera.tiltAngleChannel, {{0.0, 0.1}, {1.0, 0.14}});
}

TEST(RayHostCalls, AWholeRenderMakesNoHostCallInAnyBuild) {
    for (int variant = 1; variant <= vellary::test::kBuildVariants; ++variant) {
        SCOPED_TRACE(builtModulePath(variant));
        std::string error;
        std::unique_ptr<hostsim::ModuleSession> session =
            hostsim::ModuleSession::open(builtModulePath(variant), &error);
        ASSERT_NE(session, nullptr) << error;
        ASSERT_TRUE(session->handlerActive());
        hostsim::SimHost& host = session->host();
        HostInstance instance = session->createInstance(&error);
        ASSERT_NE(instance, nullptr) << error;
        const HostItemId item = host.cameras().cameras().back();
        animate(host, item, *static_cast<const CameraInstance*>(instance));

        const HandlerCallbackTable& handler = session->module().handlerCallbacks();
        hostsim::GuardedRecord<HostCameraRecord> camera("HostCameraRecord");
        camera->cameraItem = item;
        camera->filmWidth = 0.036;
        camera->filmHeight = 0.024;
        hostsim::GuardedRecord<FrameTiming> timing("FrameTiming");
        timing->frame = 12;
        timing->start = 0.5;
        timing->duration = 0.02;
        timing->hostReserved = 0.0;
        timing->motionSteps = 3;
        host.log().clear();
        ASSERT_EQ(hostsim::callModule(handler.newFrame, instance, timing.get(), camera.get()),
                  nullptr);
        ASSERT_GT(host.log().size(), 0u) << "the new frame asks the host; the log records";
        const std::size_t loggedBefore = host.log().size();
        const std::size_t callsBefore = host.log().totalCalls();

        hostsim::render::RenderSettings settings;
        settings.width = 48;
        settings.height = 32;
        settings.samplesPerPixel = 4;
        settings.threads = 2;
        settings.filmWidth = camera->filmWidth;
        settings.filmHeight = camera->filmHeight;
        const hostsim::render::RenderResult result = hostsim::render::renderImage(
            settings, hostsim::render::defaultScene(),
            [&](double filmX, double filmY, double lensX, double lensY, double time,
                RayRecord* ray) {
                return hostsim::callModule(handler.evaluate, instance, filmX, filmY, lensX, lensY,
                                           time, ray) == 1;
            });

        EXPECT_EQ(result.stats.cameraRays, 48u * 32u * 4u);
        EXPECT_EQ(result.stats.failedRays, 0u);
        EXPECT_EQ(host.log().totalCalls(), callsBefore) << "host calls during the render";
        EXPECT_EQ(host.log().size(), loggedBefore);
        EXPECT_TRUE(camera.check()) << camera.damage();
        EXPECT_TRUE(timing.check()) << timing.damage();
        EXPECT_THAT(session->close(), IsEmpty());
    }
}

} // namespace
