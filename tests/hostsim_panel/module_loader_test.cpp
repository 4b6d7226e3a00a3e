// The loader with the three built module files, as the host loads them, and with files that
// are not modules. Also the panel of a loaded module, driven through the host's calls only.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hostsim/module_loader.h"
#include "hostsim/module_session.h"
#include "support/module_paths.h"

namespace {

using hostsim::LoadedModule;
using hostsim::ModuleSession;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using vellary::test::builtModulePath;

std::string serverNameOf(int variant) {
    return "VellaryCamera0.1.5test" + std::to_string(variant);
}

std::string writeTextFile(const std::string& name) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path) << "not a library\n";
    return path.string();
}

TEST(ModuleLoader, FilesThatAreNotModulesAreRefusedWithTheReason) {
    const std::string textFile = writeTextFile("hostsim_loader_text.p");
    struct Case {
        std::string path;
        const char* message;
    };
    const Case cases[] = {
        {"/no/such/dir/Nothing.p", "no such module file"},
        {std::filesystem::temp_directory_path().string(), "is not a regular file"},
        {textFile, "not a loadable module"},
        {HOSTSIM_FIXTURE_NO_DESCRIPTOR, "exports no _mod_descrip"},
        {HOSTSIM_FIXTURE_BAD_SYNC, "sync word 0xDEADBEEF, expected 0x04121994"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string error;
        EXPECT_EQ(LoadedModule::load(c.path, &error), nullptr);
        EXPECT_THAT(error, HasSubstr(c.message));
        EXPECT_THAT(error, HasSubstr(c.path));
    }
    std::filesystem::remove(textFile);
}

TEST(ModuleLoader, EachBuildShowsItsDescriptorServersAndVariant) {
    for (int variant = 1; variant <= vellary::test::kBuildVariants; ++variant) {
        SCOPED_TRACE(builtModulePath(variant));
        std::string error;
        std::unique_ptr<LoadedModule> module = LoadedModule::load(builtModulePath(variant), &error);
        ASSERT_NE(module, nullptr) << error;
        EXPECT_EQ(module->descriptorWords().syncWord, 0x04121994u);
        EXPECT_EQ(module->descriptorWords().version, 3u);
        EXPECT_EQ(module->descriptorWords().platform, 0x300u);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(module->startupResult()), 4u);
        ASSERT_EQ(module->servers().size(), 2u);
        EXPECT_EQ(module->servers()[0].className, "CameraHandler");
        EXPECT_EQ(module->servers()[1].className, "CameraInterface");
        EXPECT_EQ(module->servers()[0].serverName, serverNameOf(variant));
        EXPECT_EQ(module->servers()[1].serverName, serverNameOf(variant));
        EXPECT_EQ(module->buildVariant(), "test" + std::to_string(variant));
    }
}

TEST(ModuleLoader, HandlerActivationFillsTheHostsTablesAndNothingElse) {
    for (int variant = 1; variant <= vellary::test::kBuildVariants; ++variant) {
        SCOPED_TRACE(builtModulePath(variant));
        hostsim::SimHost host;
        std::string error;
        std::unique_ptr<LoadedModule> module = LoadedModule::load(builtModulePath(variant), &error);
        ASSERT_NE(module, nullptr) << error;

        const hostsim::Activation wrongVersion = module->activateHandler(host.globalLookup(), 3);
        EXPECT_TRUE(wrongVersion.called);
        EXPECT_EQ(wrongVersion.result, 1);
        EXPECT_EQ(module->handlerCallbacks().evaluate, nullptr);

        const hostsim::Activation activation = module->activateHandler(host.globalLookup());
        ASSERT_TRUE(activation.called);
        EXPECT_EQ(activation.result, 0);
        const InstanceCallbackTable& instance = module->instanceCallbacks();
        const HandlerCallbackTable& handler = module->handlerCallbacks();
        EXPECT_EQ(instance.privateWord, reinterpret_cast<void*>(host.globalLookup()));
        for (const void* slot :
             {reinterpret_cast<const void*>(instance.create), (const void*)instance.destroy,
              (const void*)instance.copy, (const void*)instance.load, (const void*)instance.save,
              (const void*)instance.describe, (const void*)handler.preview,
              (const void*)handler.newFrame, (const void*)handler.evaluate,
              (const void*)handler.flags}) {
            EXPECT_NE(slot, nullptr);
        }
        EXPECT_TRUE(module->handlerHostWordsIntact());
        EXPECT_TRUE(module->handlerRecordsIntact());
        EXPECT_THAT(host.finalViolations(), IsEmpty());
    }
}

// Builds test1 and test2 share the file name Ostrelin.p; the host keeps them apart by path.
TEST(ModuleLoader, TwoBuildsWithOneFileNameLoadSideBySide) {
    std::string error;
    auto first = LoadedModule::load(builtModulePath(1), &error);
    ASSERT_NE(first, nullptr) << error;
    auto second = LoadedModule::load(builtModulePath(2), &error);
    ASSERT_NE(second, nullptr) << error;
    EXPECT_EQ(first->buildVariant(), "test1");
    EXPECT_EQ(second->buildVariant(), "test2");
}

TEST(ModuleLoader, AnUnloadedModuleLoadsAndActivatesAgain) {
    for (int round = 0; round < 2; ++round) {
        hostsim::SimHost host;
        std::string error;
        auto module = LoadedModule::load(builtModulePath(3), &error);
        ASSERT_NE(module, nullptr) << error;
        EXPECT_EQ(module->activateHandler(host.globalLookup()).result, 0) << round;
    }
}

// The settings panel of a loaded module, every call made as the host makes it (on 32-bit
// Windows with the host's 4-byte stack alignment).
TEST(ModuleSession, EachBuildOpensThePanelAndDrawsTheSameThumbnail) {
    std::optional<hostsim::RgbImage> reference;
    for (int variant = 1; variant <= vellary::test::kBuildVariants; ++variant) {
        SCOPED_TRACE(builtModulePath(variant));
        std::string error;
        auto session = ModuleSession::open(builtModulePath(variant), &error);
        ASSERT_NE(session, nullptr) << error;
        ASSERT_TRUE(session->handlerActive());
        HostInstance instance = session->createInstance(&error);
        ASSERT_NE(instance, nullptr) << error;
        EXPECT_EQ(session->preview(instance, 0.036, 0.024), 1);
        const hostsim::OpenedPanel opened = session->openPanel(instance);
        ASSERT_EQ(opened.activation.result, 0);
        ASSERT_NE(opened.panel, nullptr);
        hostsim::XPanelService& panels = session->panels();
        EXPECT_EQ(panels.title(opened.panel), "Vellary Camera");
        EXPECT_EQ(panels.writeControl(opened.panel, 0x8006, 0.4), 1);
        EXPECT_EQ(panels.writeControl(opened.panel, 0x8005, -1.1), 1);
        const auto readout = panels.readControlText(opened.panel, 0x8002);
        ASSERT_TRUE(readout.has_value());
        EXPECT_THAT(*readout, testing::StartsWith("Focal Length "));
        const auto image = panels.drawControl(opened.panel, 0x8007);
        ASSERT_TRUE(image.has_value());
        // The marker sits where the tilt puts it: 29 * sqrt(2 * angle / pi) from the centre.
        const double radius = 29.0 * std::sqrt(2.0 * 0.4 / 3.14159265358979323846);
        const int middleX = static_cast<int>(38.0 + radius * std::sin(-1.1)) + 2;
        const int middleY = static_cast<int>(28.0 - radius * std::cos(-1.1)) + 2;
        const std::size_t at = (static_cast<std::size_t>(middleY) * 100 + middleX) * 3;
        EXPECT_EQ(image->pixels.at(at), 255);
        EXPECT_EQ(image->pixels.at(at + 1), 100);
        if (!reference) {
            reference = image;
        } else {
            EXPECT_EQ(image->pixels, reference->pixels);
        }
        EXPECT_THAT(session->close(), IsEmpty());
    }
}

} // namespace
