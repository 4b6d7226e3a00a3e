// One camera's life in each built module file, driven only through what the module installed
// in the host's records: create, save and load through a scene file, a frame of a moving camera
// with two motion steps, rays in the build's own variant, the preview matrix, the panel's
// read-out and thumbnail, destroy. The stand-in host must end with nothing leaked, nothing
// destroyed twice and no violation.
//
// On 32-bit Windows the host calls the module with a stack aligned to 4 bytes only; the
// stand-in host does so through a trampoline, and here every callback that does real work is
// called both ways and must give identical results.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/host_records.h"
#include "host/service_tables.h"
#include "hostsim/guarded_record.h"
#include "hostsim/misaligned_call.h"
#include "hostsim/module_session.h"
#include "support/module_paths.h"

namespace {

using hostsim::callModule;
using hostsim::GuardedRecord;
using hostsim::ModuleSession;
using testing::IsEmpty;
using vellary::test::builtModulePath;

constexpr double kFilmWidth = 0.036;
constexpr double kFilmHeight = 0.024;
constexpr double kFocusDistance = 5.0;
constexpr double kFStop = 2.8;
constexpr int kMotionSteps = 2;
constexpr double kTiltAngle = 0.2;
constexpr std::uint32_t kReadoutId = 0x8002;
constexpr std::uint32_t kThumbnailId = 0x8007;

// The host's "LWXPanel" table with two operations wrapped: describe keeps the get callback the
// module hands over, so the test can call it itself; the drawing operations record what the
// module draws into the test's own area and pass every other area on to the host's service.
struct PanelTap {
    static inline const XPanelFuncs* host = nullptr;
    static inline XPanelFuncs table{};
    static inline XPanelDrawFuncs drawTable{};
    static inline PanelGetFn get = nullptr;
    static inline std::vector<std::string> drawn;
    static inline const DrawArea testArea =
        reinterpret_cast<DrawArea>(static_cast<std::uintptr_t>(0x7E570001));

    static void install(hostsim::SimHost& simHost, const XPanelFuncs* hostTable) {
        host = hostTable;
        table = *hostTable;
        drawTable = *hostTable->drawFuncs;
        table.describe = describe;
        drawTable.line = line;
        drawTable.box = box;
        table.drawFuncs = &drawTable;
        get = nullptr;
        drawn.clear();
        simHost.provideService("LWXPanel", &table);
    }
    static void HOSTCALL describe(XPanel panel, const PanelControl* data, PanelGetFn getFn,
                                  PanelSetFn setFn) {
        get = getFn;
        host->describe(panel, data, getFn, setFn);
    }
    static void HOSTCALL line(DrawArea area, std::uint32_t colour, int x1, int y1, int x2, int y2) {
        if (area != testArea) {
            host->drawFuncs->line(area, colour, x1, y1, x2, y2);
            return;
        }
        char text[96];
        std::snprintf(text, sizeof text, "line %08X %d %d %d %d", static_cast<unsigned>(colour), x1,
                      y1, x2, y2);
        drawn.push_back(text);
    }
    static void HOSTCALL box(DrawArea area, int red, int green, int blue, int x, int y, int width,
                             int height) {
        if (area != testArea) {
            host->drawFuncs->box(area, red, green, blue, x, y, width, height);
            return;
        }
        char text[96];
        std::snprintf(text, sizeof text, "box %d %d %d %d %d %d %d", red, green, blue, x, y, width,
                      height);
        drawn.push_back(text);
    }
};

template <class T> std::vector<unsigned char> bytesOf(const T& value) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
    return {bytes, bytes + sizeof(T)};
}

double length(DVec3 v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

void expectNear(DVec3 actual, DVec3 expected, double tolerance, const char* what) {
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
    EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
}

void expectSame(DVec3 actual, DVec3 expected, const char* what) {
    EXPECT_EQ(bytesOf(actual), bytesOf(expected)) << what;
}

struct RayInput {
    double filmX, filmY, lensX, lensY, fraction;
};

// Evaluates a ray through the host's call path and directly; both must agree to the bit.
RayRecord evaluateBothWays(const HandlerCallbackTable& handler, HostInstance instance,
                           const RayInput& in) {
    GuardedRecord<RayRecord> viaHost("RayRecord");
    GuardedRecord<RayRecord> direct("RayRecord");
    EXPECT_EQ(callModule(handler.evaluate, instance, in.filmX, in.filmY, in.lensX, in.lensY,
                         in.fraction, viaHost.get()),
              1);
    EXPECT_EQ(handler.evaluate(instance, in.filmX, in.filmY, in.lensX, in.lensY, in.fraction,
                               direct.get()),
              1);
    EXPECT_EQ(bytesOf(*viaHost.get()), bytesOf(*direct.get()));
    EXPECT_TRUE(viaHost.check());
    EXPECT_TRUE(direct.check());
    return *viaHost.get();
}

class EndToEnd : public testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        variant_ = GetParam();
        std::string error;
        session_ = ModuleSession::open(builtModulePath(variant_), &error);
        ASSERT_NE(session_, nullptr) << error;
        ASSERT_TRUE(session_->handlerActive());
        PanelTap::install(session_->host(), session_->panels().table());
    }

    hostsim::SimHost& host() { return session_->host(); }
    const InstanceCallbackTable& callbacks() { return session_->module().instanceCallbacks(); }
    const HandlerCallbackTable& handler() { return session_->module().handlerCallbacks(); }
    ParamChannel channel(std::size_t index) { return host().channels().created().at(index); }

    // A camera that moves and turns during the frame, with a fixed focus distance and f-stop.
    HostItemId movingCamera() {
        hostsim::CameraItems& cameras = host().cameras();
        HostItemId camera = cameras.cameras().back();
        cameras.setPositionKey(camera, 0.0, {0.0, 0.0, 0.0});
        cameras.setPositionKey(camera, 1.0, {4.0, 2.0, -1.0});
        cameras.setRotationKey(camera, 0.0, {0.0, 0.0, 0.0});
        cameras.setRotationKey(camera, 1.0, {0.8, 0.1, 0.05});
        cameras.setFocusDistanceKey(camera, 0.0, kFocusDistance);
        cameras.setFStopKey(camera, 0.0, kFStop);
        return camera;
    }

    void saveScene(HostInstance instance, const std::string& path) {
        SceneSaveRecord* scene = host().scenes().openForWriting(path);
        EXPECT_EQ(
            callModule(callbacks().save, instance, static_cast<const SceneSaveRecord*>(scene)),
            nullptr);
        std::string error;
        EXPECT_TRUE(host().scenes().finishWriting(scene, &error)) << error;
    }

    void loadScene(HostInstance instance, const std::string& path) {
        std::string error;
        SceneLoadRecord* scene = host().scenes().openForReading(path, &error);
        ASSERT_NE(scene, nullptr) << error;
        EXPECT_EQ(
            callModule(callbacks().load, instance, static_cast<const SceneLoadRecord*>(scene)),
            nullptr);
        EXPECT_THAT(host().scenes().readProblems(scene), IsEmpty());
        EXPECT_EQ(host().scenes().unreadEntries(scene), 0u);
        host().scenes().closeReading(scene);
    }

    int variant_ = 0;
    std::unique_ptr<ModuleSession> session_;
};

TEST_P(EndToEnd, ACameraLivesThroughSceneFrameRaysPreviewAndPanel) {
    std::string error;
    // Create, animate and save the first instance; load the scene into a second one.
    HostInstance saved = session_->createInstance(&error);
    ASSERT_NE(saved, nullptr) << error;
    host().channels().setKeys(channel(1), {{0.0, 0.05}, {1.0, 0.15}}); // horizontal shift
    host().channels().setKey(channel(2), 0.0, -0.1);                   // vertical shift
    host().channels().setKey(channel(3), 0.0, 0.3);                    // tilt direction
    host().channels().setKey(channel(4), 0.0, kTiltAngle);             // tilt angle
    const std::string scenePath =
        (std::filesystem::temp_directory_path() /
         ("vellary_end_to_end_test" + std::to_string(variant_) + ".scene"))
            .string();
    saveScene(saved, scenePath);
    HostInstance instance = session_->createInstance(&error);
    ASSERT_NE(instance, nullptr) << error;
    ASSERT_EQ(host().channels().created().size(), 10u);
    loadScene(instance, scenePath);
    std::filesystem::remove(scenePath);
    for (std::size_t i = 0; i < 5; ++i) {
        for (double t : {0.0, 0.5, 1.0}) {
            EXPECT_EQ(host().channels().valueAt(channel(5 + i), t),
                      host().channels().valueAt(channel(i), t))
                << "channel " << i << " at " << t;
        }
    }
    const HostItemId camera = movingCamera();

    // A frame with two motion steps: 8 sub-frame intervals, 9 samples. Built directly and
    // through the host's call path; the rays of both tables must be identical.
    GuardedRecord<FrameTiming> timing("FrameTiming");
    timing->start = 0.0;
    timing->duration = 1.0;
    timing->motionSteps = kMotionSteps;
    GuardedRecord<HostCameraRecord> cameraRecord("HostCameraRecord");
    cameraRecord->cameraItem = camera;
    cameraRecord->filmWidth = kFilmWidth;
    cameraRecord->filmHeight = kFilmHeight;
    const auto* timingRecord = static_cast<const FrameTiming*>(timing.get());
    const auto* cameraArgument = static_cast<const HostCameraRecord*>(cameraRecord.get());
    const RayInput offCentre{0.004, -0.003, 0.5, -0.3, 0.6};
    ASSERT_EQ(handler().newFrame(instance, timingRecord, cameraArgument), nullptr);
    const RayRecord fromDirectTable = evaluateBothWays(handler(), instance, offCentre);
    ASSERT_EQ(callModule(handler().newFrame, instance, timingRecord, cameraArgument), nullptr);
    const RayRecord fromHostTable = evaluateBothWays(handler(), instance, offCentre);
    EXPECT_EQ(bytesOf(fromDirectTable), bytesOf(fromHostTable));

    // Rays through the film point under the optical axis (film position minus the shift) from
    // the lens centre: origin = the camera position, unnormalised direction = the forward axis
    // scaled to the focus distance, at the sub-frame time the fraction selects.
    const double zoom = host().channels().valueAt(channel(5), 0.0);
    const double focal = kFilmHeight * zoom * 0.5;
    const double apertureRadius = focal / kFStop * 0.5;
    const int samples = 4 * kMotionSteps;
    for (double fraction : {0.0, 0.3, 0.6, 0.999, 1.0}) {
        SCOPED_TRACE(fraction);
        const int k = static_cast<int>(samples * fraction);
        const double t = static_cast<double>(k) / samples;
        const double shiftX = host().channels().valueAt(channel(6), t) * kFilmWidth;
        const double shiftY = kFilmHeight * host().channels().valueAt(channel(7), t);
        const DVec3 position = host().cameras().vectorAt(camera, ITEM_POSITION, t);
        const DVec3 forward = host().cameras().vectorAt(camera, ITEM_FORWARD, t);
        const double scale = kFocusDistance / length(forward);
        const DVec3 focusCentre{forward.x * scale, forward.y * scale, forward.z * scale};

        const RayRecord centre =
            evaluateBothWays(handler(), instance, {-shiftX, -shiftY, 0.0, 0.0, fraction});
        expectNear(centre.origin, position, 1e-12, "origin");
        if (variant_ == 1) {
            expectNear(centre.direction, focusCentre, 1e-9, "direction");
            expectSame(centre.auxDirection, centre.direction, "third vector");
        } else {
            const DVec3 unit{forward.x / length(forward), forward.y / length(forward),
                             forward.z / length(forward)};
            expectNear(centre.direction, unit, 1e-12, "direction");
            if (variant_ == 2) {
                expectSame(centre.auxDirection, forward, "third vector");
            } else {
                expectSame(centre.auxDirection, centre.direction, "third vector");
            }
        }

        // Off the lens centre the ray starts on the aperture, along the camera's right and up
        // axes scaled to the aperture radius.
        const RayRecord side = evaluateBothWays(
            handler(), instance, {offCentre.filmX, offCentre.filmY, 0.5, -0.3, fraction});
        const DVec3 right = host().cameras().vectorAt(camera, ITEM_RIGHT, t);
        const DVec3 up = host().cameras().vectorAt(camera, ITEM_UP, t);
        const double kx = 0.5 * apertureRadius / length(right);
        const double ky = -0.3 * apertureRadius / length(up);
        expectNear(side.origin,
                   {position.x + kx * right.x + ky * up.x, position.y + kx * right.y + ky * up.y,
                    position.z + kx * right.z + ky * up.z},
                   1e-12, "lens origin");
        if (variant_ == 1) {
            EXPECT_GT(std::fabs(length(side.direction) - 1.0), 0.5);
        } else {
            EXPECT_NEAR(length(side.direction), 1.0, 1e-12);
        }
        if (variant_ != 2) {
            expectSame(side.auxDirection, side.direction, "third vector off centre");
        }
    }

    // The preview at the host's current time: rows 3 of the tilted projection, the depth column.
    host().setTime(0.5);
    GuardedRecord<Matrix4d> viaHost("Matrix4d");
    GuardedRecord<Matrix4d> direct("Matrix4d");
    EXPECT_EQ(callModule(handler().preview, instance, 0.0, 0.0, viaHost.get(), cameraArgument), 1);
    EXPECT_EQ(handler().preview(instance, 0.0, 0.0, direct.get(), cameraArgument), 1);
    EXPECT_EQ(bytesOf(*viaHost.get()), bytesOf(*direct.get()));
    const double* m = viaHost->m;
    const double near = focal * std::cos(kTiltAngle);
    EXPECT_NEAR(m[11], -std::cos(kTiltAngle), 1e-12);
    EXPECT_EQ(m[12], 0.0);
    EXPECT_EQ(m[13], 0.0);
    EXPECT_NEAR(m[14], -(near * 130000.0) / (65000.0 - near), 1e-9);
    EXPECT_EQ(m[15], 0.0);

    // The panel: the read-out of the zoom channel at the current time with the previewed film,
    // and the get callback and thumbnail drawing, each through the host's path and directly.
    const hostsim::OpenedPanel opened = session_->openPanel(instance);
    ASSERT_EQ(opened.activation.result, 0);
    ASSERT_NE(opened.panel, nullptr);
    char expectedReadout[64];
    std::snprintf(expectedReadout, sizeof expectedReadout, "Focal Length %0.1fmm",
                  kFilmHeight * host().channels().valueAt(channel(5), 0.5) * 0.5 * 1000.0);
    EXPECT_EQ(session_->panels().readControlText(opened.panel, kReadoutId), expectedReadout);
    ASSERT_NE(PanelTap::get, nullptr);
    for (std::uint32_t id : {0x8001u, 0x8002u, 0x8003u, 0x8004u, 0x8005u, 0x8006u, 0x9999u}) {
        SCOPED_TRACE(id);
        void* value = callModule(PanelTap::get, instance, id);
        EXPECT_EQ(value, PanelTap::get(instance, id));
        if (id == 0x8002u) {
            ASSERT_NE(value, nullptr);
            EXPECT_STREQ(static_cast<const char*>(value), expectedReadout);
        } else if (id == 0x9999u) {
            EXPECT_EQ(value, nullptr);
        } else {
            EXPECT_EQ(value, static_cast<void*>(channel(5 + (id == 0x8001u ? 0 : id - 0x8002u))));
        }
    }
    const hostsim::ParsedHints* hints = session_->panels().hints(opened.panel);
    ASSERT_NE(hints, nullptr);
    ASSERT_EQ(hints->drawCallbacks.count(kThumbnailId), 1u);
    const PanelDrawFn draw = hints->drawCallbacks.at(kThumbnailId);
    callModule(draw, opened.panel, kThumbnailId, PanelTap::testArea, 100, 100);
    const std::vector<std::string> drawnViaHost = PanelTap::drawn;
    PanelTap::drawn.clear();
    draw(opened.panel, kThumbnailId, PanelTap::testArea, 100, 100);
    EXPECT_FALSE(drawnViaHost.empty());
    EXPECT_EQ(drawnViaHost, PanelTap::drawn);
    EXPECT_TRUE(session_->panels().drawControl(opened.panel, kThumbnailId).has_value());

    // Destroy: the session destroys the panel and both instances; every channel goes exactly once.
    EXPECT_THAT(session_->close(), IsEmpty());
    for (ParamChannel made : host().channels().created()) {
        EXPECT_TRUE(host().channels().destroyedExactlyOnce(made));
    }
}

INSTANTIATE_TEST_SUITE_P(EachBuild, EndToEnd, testing::Values(1, 2, 3),
                         [](const testing::TestParamInfo<int>& info) {
                             return "test" + std::to_string(info.param);
                         });

} // namespace
