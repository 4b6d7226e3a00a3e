// The module's own lifecycle runs against the stand-in host without a single violation: the
// host answers what the module really calls, in the way sim_host.h shows.
#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/activation.h"
#include "hostsim/sim_host.h"

namespace {

using testing::IsEmpty;

struct ActivatedHandler {
    explicit ActivatedHandler(hostsim::SimHost& host) {
        handler->instance = instanceTable.get();
        result = activateHandler(HANDLER_VERSION, host.globalLookup(), handler.get(), nullptr);
    }
    hostsim::GuardedRecord<InstanceCallbackTable> instanceTable{"InstanceCallbackTable"};
    hostsim::GuardedRecord<HandlerCallbackTable> handler{"HandlerCallbackTable"};
    int result = -1;
};

TEST(ModuleSmoke, AnimatedInstanceSavedByOneHostLoadsIntoAnother) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "hostsim_module_smoke.scene").string();
    std::vector<hostsim::Key> savedZoomKeys;
    {
        hostsim::SimHost host;
        HostItemId camera = host.cameras().addCamera();
        host.cameras().setZoomFactorKey(camera, 0.0, 2.0);
        ActivatedHandler activated(host);
        ASSERT_EQ(activated.result, 0);

        HostError error = nullptr;
        HostInstance instance = activated.instanceTable->create(nullptr, camera, &error);
        ASSERT_NE(instance, nullptr);
        ASSERT_EQ(host.channels().aliveCount(), 5u);
        ParamChannel zoom = host.channels().created()[0];
        EXPECT_EQ(host.channels().info(zoom)->name, "ZoomFactor");
        EXPECT_EQ(host.channels().valueAt(zoom, 0.0), 2.0) << "starts at the camera's zoom";
        host.channels().setKeys(zoom, {{0.0, 1.0}, {1.0, 3.0}});
        savedZoomKeys = host.channels().info(zoom)->keys;

        SceneSaveRecord* save = host.scenes().openForWriting(path);
        EXPECT_EQ(activated.instanceTable->save(instance, save), nullptr);
        ASSERT_TRUE(host.scenes().finishWriting(save));
        activated.instanceTable->destroy(instance);
        EXPECT_THAT(host.finalViolations(), IsEmpty());
    }

    hostsim::SimHost host;
    HostItemId camera = host.cameras().addCamera();
    ActivatedHandler activated(host);
    ASSERT_EQ(activated.result, 0);
    HostError error = nullptr;
    HostInstance instance = activated.instanceTable->create(nullptr, camera, &error);
    SceneLoadRecord* load = host.scenes().openForReading(path);
    ASSERT_NE(load, nullptr);
    EXPECT_EQ(activated.instanceTable->load(instance, load), nullptr);
    EXPECT_EQ(host.scenes().unreadEntries(load), 0u);
    EXPECT_THAT(host.scenes().readProblems(load), IsEmpty());
    EXPECT_EQ(host.channels().info(host.channels().created()[0])->keys, savedZoomKeys);
    host.scenes().closeReading(load);
    activated.instanceTable->destroy(instance);
    for (ParamChannel channel : host.channels().created()) {
        EXPECT_TRUE(host.channels().destroyedExactlyOnce(channel));
    }
    EXPECT_THAT(host.finalViolations(), IsEmpty());
    std::filesystem::remove(path);
}

} // namespace
