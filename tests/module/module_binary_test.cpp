// The three built module files as the host meets them: the file itself (a 32-bit DLL whose
// only export is the descriptor, importing nothing but the system runtime, running no TLS
// callbacks on load), the descriptor and server table in the loaded image, start-up and
// shut-down, and the activation of both servers against the stand-in host.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/host_records.h"
#include "host/module_descriptor.h"
#include "host/service_tables.h"
#include "hostsim/camera_items.h"
#include "hostsim/guarded_record.h"
#include "hostsim/misaligned_call.h"
#include "hostsim/module_loader.h"
#include "hostsim/sim_host.h"
#include "hostsim/xpanel_service.h"
#include "module/pe_file.h"
#include "support/module_paths.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

using hostsim::callModule;
using hostsim::GuardedRecord;
using hostsim::LoadedModule;
using hostsim::SimHost;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::UnorderedElementsAre;
using vellary::test::builtModulePath;
using vellary::test::kBuildVariants;
using vellary::test::PeFile;

// What the host puts in its records before an activation: a word no module would write.
constexpr unsigned char kHostFill = 0xCD;

std::string serverNameOf(int variant) {
    return "VellaryCamera0.1.5test" + std::to_string(variant);
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool startsWithElfMagic(const std::string& path) {
    char magic[4] = {};
    std::ifstream(path, std::ios::binary).read(magic, sizeof magic);
    return std::memcmp(magic,
                       "\x7F"
                       "ELF",
                       4) == 0;
}

// The descriptor as it lies in the loaded image. The library is opened a second time by path,
// which only finds the copy the loader already mapped; the caller keeps that copy loaded.
const ModuleDescriptor* descriptorInImage(const std::string& path) {
#ifdef _WIN32
    HMODULE library = LoadLibraryA(path.c_str());
    if (library == nullptr) {
        return nullptr;
    }
    const void* symbol =
        reinterpret_cast<const void*>(GetProcAddress(library, MODULE_DESCRIPTOR_SYMBOL));
    FreeLibrary(library); // drops only the reference taken here
    return static_cast<const ModuleDescriptor*>(symbol);
#else
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    void* library = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (library == nullptr) {
        return nullptr;
    }
    const void* symbol = dlsym(library, MODULE_DESCRIPTOR_SYMBOL);
    dlclose(library); // drops only the reference taken here
    return static_cast<const ModuleDescriptor*>(symbol);
#endif
}

std::vector<unsigned char> bytesOf(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    return {bytes, bytes + size};
}

std::vector<std::string> lookupsMade(SimHost& host) {
    std::vector<std::string> names;
    for (const hostsim::HostCall& call : host.log().calls()) {
        if (call.service == "globalLookup") {
            names.push_back(call.operation);
        }
    }
    return names;
}

// ---- The file -------------------------------------------------------------------------------

TEST(ModuleFile, EachBuildIsA32BitDllExportingOnlyTheDescriptorAndImportingOnlyTheRuntime) {
    for (int variant = 1; variant <= kBuildVariants; ++variant) {
        const std::string& path = builtModulePath(variant);
        SCOPED_TRACE(path);
        if (startsWithElfMagic(path)) {
            GTEST_SKIP() << "native build: the module files are ELF objects, not PE images";
        }
        PeFile file;
        std::string error;
        ASSERT_TRUE(vellary::test::readPeFile(path, &file, &error)) << error;
        EXPECT_EQ(file.machine, vellary::test::kPeMachineI386);
        EXPECT_EQ(file.optionalMagic, vellary::test::kPeMagic32);
        EXPECT_TRUE(file.isDll());

        EXPECT_EQ(file.exportedFunctionCount, 1u);
        ASSERT_EQ(file.exports.size(), 1u);
        EXPECT_EQ(file.exports[0].name, "_mod_descrip");
        // A data export: the descriptor lies in a section that is not code.
        const vellary::test::PeSection* home = file.sectionAt(file.exports[0].rva);
        ASSERT_NE(home, nullptr);
        EXPECT_EQ(home->characteristics & vellary::test::kPeSectionExecute, 0u) << home->name;

        std::vector<std::string> imports;
        for (const std::string& dll : file.importedDlls) {
            imports.push_back(lowerCase(dll));
        }
        EXPECT_THAT(imports, UnorderedElementsAre("kernel32.dll", "msvcrt.dll"));
        EXPECT_EQ(file.directory(vellary::test::kPeDelayImportDirectory).size, 0u);
        // TLS callbacks would run module code when the host merely loads the file.
        EXPECT_THAT(file.tlsCallbacks, IsEmpty());
    }
}

// ---- The PE reader itself, on images made here (so it is checked on every platform) ----------

// A minimal PE32 DLL: headers, then one section at RVA 0x1000 (file offset 0x200) holding an
// export directory with the given names, an import directory with the given DLLs and, when
// asked, a TLS directory with one callback.
class TinyPeImage {
  public:
    static constexpr std::uint32_t kImageBase = 0x10000000;
    static constexpr std::uint32_t kSectionRva = 0x1000;
    static constexpr std::uint32_t kSectionOffset = 0x200;

    std::vector<unsigned char> build(const std::vector<std::string>& exports,
                                     const std::vector<std::string>& imports, bool tlsCallback) {
        bytes_.assign(kSectionOffset, 0);
        put16(0, 0x5A4D);
        put32(0x3C, 0x80);
        put32(0x80, 0x00004550);
        put16(0x84, vellary::test::kPeMachineI386);
        put16(0x86, 1);                             // one section
        put16(0x94, 0xE0);                          // optional header size
        put16(0x96, vellary::test::kPeFileDll | 2); // DLL, executable
        const std::size_t optional = 0x98;
        put16(optional, vellary::test::kPeMagic32);
        put32(optional + 28, kImageBase);
        put32(optional + 92, 16);
        const std::size_t section = optional + 0xE0;
        std::memcpy(&bytes_[section], ".rdata", 6);

        const std::uint32_t exportDir = add(40);
        const std::uint32_t addresses = add(4 * static_cast<std::uint32_t>(exports.size()));
        const std::uint32_t names = add(4 * static_cast<std::uint32_t>(exports.size()));
        const std::uint32_t ordinals = add(2 * static_cast<std::uint32_t>(exports.size()));
        putRva(exportDir + 20, static_cast<std::uint32_t>(exports.size()));
        putRva(exportDir + 24, static_cast<std::uint32_t>(exports.size()));
        putRva(exportDir + 28, addresses);
        putRva(exportDir + 32, names);
        putRva(exportDir + 36, ordinals);
        for (std::uint32_t i = 0; i < exports.size(); ++i) {
            putRva(addresses + 4 * i, 0x1800 + 16 * i);
            putRva(names + 4 * i, addText(exports[i]));
            putRva16(ordinals + 2 * i, static_cast<std::uint16_t>(i));
        }
        const std::uint32_t importDir =
            add(20 * static_cast<std::uint32_t>(imports.size() + 1)); // ends with a zero entry
        for (std::uint32_t i = 0; i < imports.size(); ++i) {
            putRva(importDir + 20 * i + 12, addText(imports[i]));
            putRva(importDir + 20 * i + 16, 0x1900);
        }
        std::uint32_t tlsDir = 0;
        if (tlsCallback) {
            tlsDir = add(24);
            const std::uint32_t list = add(8);
            putRva(tlsDir + 12, kImageBase + list);
            putRva(list, kImageBase + 0x1A00);
        }
        putDirectory(optional, 0, exportDir, 40);
        putDirectory(optional, 1, importDir, 20 * static_cast<std::uint32_t>(imports.size() + 1));
        if (tlsCallback) {
            putDirectory(optional, 9, tlsDir, 24);
        }
        const std::uint32_t size = static_cast<std::uint32_t>(bytes_.size()) - kSectionOffset;
        put32(section + 8, size);
        put32(section + 12, kSectionRva);
        put32(section + 16, size);
        put32(section + 20, kSectionOffset);
        put32(section + 36, 0x40000040); // initialised data, readable
        return bytes_;
    }

  private:
    void put16(std::size_t at, std::uint16_t value) {
        bytes_[at] = static_cast<unsigned char>(value);
        bytes_[at + 1] = static_cast<unsigned char>(value >> 8);
    }
    void put32(std::size_t at, std::uint32_t value) {
        put16(at, static_cast<std::uint16_t>(value));
        put16(at + 2, static_cast<std::uint16_t>(value >> 16));
    }
    void putRva(std::uint32_t rva, std::uint32_t value) {
        put32(rva - kSectionRva + kSectionOffset, value);
    }
    void putRva16(std::uint32_t rva, std::uint16_t value) {
        put16(rva - kSectionRva + kSectionOffset, value);
    }
    void putDirectory(std::size_t optional, int index, std::uint32_t rva, std::uint32_t size) {
        put32(optional + 96 + 8 * static_cast<std::size_t>(index), rva);
        put32(optional + 100 + 8 * static_cast<std::size_t>(index), size);
    }
    // Appends zeroed room in the section and returns its RVA.
    std::uint32_t add(std::uint32_t size) {
        const std::uint32_t rva =
            static_cast<std::uint32_t>(bytes_.size()) - kSectionOffset + kSectionRva;
        bytes_.resize(bytes_.size() + size, 0);
        return rva;
    }
    std::uint32_t addText(const std::string& text) {
        const std::uint32_t rva = add(static_cast<std::uint32_t>(text.size() + 1));
        std::memcpy(&bytes_[rva - kSectionRva + kSectionOffset], text.c_str(), text.size());
        return rva;
    }

    std::vector<unsigned char> bytes_;
};

TEST(PeReader, ReadsExportsImportsAndTlsCallbacksOfAnImage) {
    TinyPeImage image;
    PeFile file;
    std::string error;
    ASSERT_TRUE(vellary::test::readPeImage(
        image.build({"first", "_mod_descrip"}, {"KERNEL32.dll", "msvcrt.dll", "libgcc.dll"}, true),
        &file, &error))
        << error;
    EXPECT_EQ(file.machine, vellary::test::kPeMachineI386);
    EXPECT_TRUE(file.isDll());
    EXPECT_EQ(file.imageBase, TinyPeImage::kImageBase);
    EXPECT_EQ(file.exportedFunctionCount, 2u);
    ASSERT_EQ(file.exports.size(), 2u);
    EXPECT_EQ(file.exports[0].name, "first");
    EXPECT_EQ(file.exports[1].name, "_mod_descrip");
    EXPECT_EQ(file.exports[1].rva, 0x1810u);
    EXPECT_THAT(file.importedDlls, ElementsAre("KERNEL32.dll", "msvcrt.dll", "libgcc.dll"));
    EXPECT_TRUE(file.hasTlsDirectory);
    EXPECT_THAT(file.tlsCallbacks, ElementsAre(TinyPeImage::kImageBase + 0x1A00));

    ASSERT_TRUE(vellary::test::readPeImage(image.build({"_mod_descrip"}, {}, false), &file, &error))
        << error;
    EXPECT_THAT(file.importedDlls, IsEmpty());
    EXPECT_FALSE(file.hasTlsDirectory);
    EXPECT_THAT(file.tlsCallbacks, IsEmpty());
}

TEST(PeReader, RefusesWhatIsNotAWellFormedImage) {
    const std::vector<unsigned char> good = TinyPeImage().build({"_mod_descrip"}, {"a.dll"}, true);
    std::vector<unsigned char> noPeSignature = good;
    noPeSignature[0x80] = 'X';
    std::vector<unsigned char> headerPastEnd = good;
    headerPastEnd[0x3C] = 0xF0;
    headerPastEnd[0x3D] = 0xFF;
    const std::vector<unsigned char> truncated(good.begin(), good.begin() + 0x220);
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", {}, "past the end"},
        {"ELF", {0x7F, 'E', 'L', 'F', 1, 1, 1, 0}, "no MZ signature"},
        {"no PE signature", noPeSignature, "no PE signature"},
        {"header offset past the end", headerPastEnd, "past the end"},
        {"section data cut off", truncated, "past the end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PeFile file;
        std::string error;
        EXPECT_FALSE(vellary::test::readPeImage(c.bytes, &file, &error));
        EXPECT_THAT(error, testing::HasSubstr(c.reason));
    }
}

// ---- Descriptor, server table, start-up and shut-down ---------------------------------------

TEST(ModuleDescriptor, EachBuildsWordsAndServerTableAsTheImageHoldsThem) {
    for (int variant = 1; variant <= kBuildVariants; ++variant) {
        SCOPED_TRACE(builtModulePath(variant));
        std::string error;
        auto module = LoadedModule::load(builtModulePath(variant), &error);
        ASSERT_NE(module, nullptr) << error;
        const ModuleDescriptor* descriptor = descriptorInImage(builtModulePath(variant));
        ASSERT_NE(descriptor, nullptr);
        EXPECT_EQ(descriptor->syncWord, 0x04121994u);
        EXPECT_EQ(descriptor->version, 3u);
        EXPECT_EQ(descriptor->platform, 0x300u);
        ASSERT_NE(descriptor->startup, nullptr);
        ASSERT_NE(descriptor->shutdown, nullptr);
        ASSERT_NE(descriptor->servers, nullptr);

        const ServerRecord* servers = descriptor->servers;
        ASSERT_NE(servers[0].className, nullptr);
        ASSERT_NE(servers[1].className, nullptr);
        EXPECT_STREQ(servers[0].className, "CameraHandler");
        EXPECT_STREQ(servers[1].className, "CameraInterface");
        // One string serves both servers.
        ASSERT_NE(servers[0].serverName, nullptr);
        EXPECT_EQ(servers[0].serverName, servers[1].serverName);
        EXPECT_EQ(std::string(servers[0].serverName), serverNameOf(variant));
        EXPECT_NE(servers[0].activate, nullptr);
        EXPECT_NE(servers[1].activate, nullptr);
        EXPECT_NE(servers[0].activate, servers[1].activate);
        EXPECT_EQ(servers[0].reserved, nullptr);
        EXPECT_EQ(servers[1].reserved, nullptr);
        const ServerRecord ending{};
        EXPECT_EQ(bytesOf(&servers[2], sizeof ending), bytesOf(&ending, sizeof ending));
    }
}

TEST(ModuleDescriptor, StartupReturns4EveryTimeAndShutdownChangesNothing) {
    for (int variant = 1; variant <= kBuildVariants; ++variant) {
        SCOPED_TRACE(builtModulePath(variant));
        SimHost host;
        std::string error;
        auto module = LoadedModule::load(builtModulePath(variant), &error);
        ASSERT_NE(module, nullptr) << error;
        const ModuleDescriptor* descriptor = descriptorInImage(builtModulePath(variant));
        ASSERT_NE(descriptor, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(module->startupResult()), 4u);
        for (int call = 0; call < 2; ++call) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(callModule(descriptor->startup)), 4u);
        }

        ASSERT_EQ(module->activateHandler(host.globalLookup()).result, 0);
        const std::vector<unsigned char> descriptorBefore = bytesOf(descriptor, 24);
        const std::vector<unsigned char> serversBefore = bytesOf(descriptor->servers, 48);
        const InstanceCallbackTable installed = module->instanceCallbacks();
        for (void* argument : {static_cast<void*>(nullptr), reinterpret_cast<void*>(4),
                               reinterpret_cast<void*>(0xDEADBEEF)}) {
            callModule(descriptor->shutdown, argument);
        }
        EXPECT_EQ(bytesOf(descriptor, 24), descriptorBefore);
        EXPECT_EQ(bytesOf(descriptor->servers, 48), serversBefore);
        EXPECT_EQ(bytesOf(&module->instanceCallbacks(), sizeof installed),
                  bytesOf(&installed, sizeof installed));

        // The services kept by the activation are still there: an instance is still made with
        // its five channels and destroyed with them.
        HostError message = nullptr;
        HostInstance instance = callModule(installed.create, installed.privateWord,
                                           host.cameras().addCamera(), &message);
        ASSERT_NE(instance, nullptr) << (message != nullptr ? message : "");
        EXPECT_EQ(host.channels().aliveCount(), 5u);
        callModule(installed.destroy, instance);
        EXPECT_THAT(host.finalViolations(), IsEmpty());
    }
}

// ---- Activation -------------------------------------------------------------------------------

// The host's two handler records, filled with the host's own bytes, byte 0 of the handler
// record pointing to the instance table, as the host hands them to activation.
struct HandlerRecords {
    HandlerRecords() { handler->instance = instanceTable.get(); }
    int activate(const LoadedModule& module, GlobalLookupFn lookup, int version) {
        const hostsim::ServerEntry* server = module.findServer("CameraHandler");
        EXPECT_NE(server, nullptr);
        if (server == nullptr) {
            return -1;
        }
        return callModule(server->activate, version, lookup, static_cast<void*>(handler.get()),
                          static_cast<void*>(nullptr));
    }
    std::vector<unsigned char> bytes() const {
        std::vector<unsigned char> all = bytesOf(handler.get(), sizeof(HandlerCallbackTable));
        const std::vector<unsigned char> table =
            bytesOf(instanceTable.get(), sizeof(InstanceCallbackTable));
        all.insert(all.end(), table.begin(), table.end());
        return all;
    }
    // Bytes 4 and 8 of the handler record (the host's own words) still hold the host's bytes.
    bool hostWordsUntouched() const {
        const std::vector<unsigned char> words =
            bytesOf(&handler.get()->hostItemFuncs, 2 * sizeof(void*));
        return std::all_of(words.begin(), words.end(),
                           [](unsigned char byte) { return byte == kHostFill; });
    }

    GuardedRecord<InstanceCallbackTable> instanceTable{"InstanceCallbackTable", 1, kHostFill};
    GuardedRecord<HandlerCallbackTable> handler{"HandlerCallbackTable", 1, kHostFill};
};

int activateInterfaceOf(const LoadedModule& module, GlobalLookupFn lookup, int version,
                        InterfaceRecord* record) {
    const hostsim::ServerEntry* server = module.findServer("CameraInterface");
    EXPECT_NE(server, nullptr);
    if (server == nullptr) {
        return -1;
    }
    return callModule(server->activate, version, lookup, static_cast<void*>(record),
                      static_cast<void*>(nullptr));
}

std::unique_ptr<LoadedModule> loadBuild(int variant) {
    std::string error;
    auto module = LoadedModule::load(builtModulePath(variant), &error);
    EXPECT_NE(module, nullptr) << error;
    return module;
}

TEST(Activation, AnotherVersionReturns1WithoutALookupOrAWrite) {
    struct Case {
        bool handler;
        int version;
    };
    // Each server's neighbours, and the other server's version.
    const Case cases[] = {{true, 1},  {true, 3},  {true, 4},  {true, 0},
                          {false, 3}, {false, 5}, {false, 2}, {false, -4}};
    for (int variant = 1; variant <= kBuildVariants; ++variant) {
        for (const Case& c : cases) {
            SCOPED_TRACE(builtModulePath(variant) + (c.handler ? " handler " : " interface ") +
                         std::to_string(c.version));
            SimHost host;
            hostsim::XPanelService panels(host);
            auto module = loadBuild(variant);
            ASSERT_NE(module, nullptr);
            if (c.handler) {
                HandlerRecords records;
                const std::vector<unsigned char> before = records.bytes();
                EXPECT_EQ(records.activate(*module, host.globalLookup(), c.version), 1);
                EXPECT_EQ(records.bytes(), before);
            } else {
                GuardedRecord<InterfaceRecord> record("InterfaceRecord", 1, kHostFill);
                const std::vector<unsigned char> before = bytesOf(record.get(), 16);
                EXPECT_EQ(
                    activateInterfaceOf(*module, host.globalLookup(), c.version, record.get()), 1);
                EXPECT_EQ(bytesOf(record.get(), 16), before);
            }
            EXPECT_THAT(lookupsMade(host), IsEmpty());
            EXPECT_THAT(panels.panels(), IsEmpty());
            EXPECT_THAT(host.finalViolations(), IsEmpty());
        }
    }
}

TEST(Activation, HandlerLooksUpItsServicesInOrderAndInstallsElevenWords) {
    for (int variant = 1; variant <= kBuildVariants; ++variant) {
        SCOPED_TRACE(builtModulePath(variant));
        SimHost host;
        auto module = loadBuild(variant);
        ASSERT_NE(module, nullptr);
        HandlerRecords records;
        ASSERT_EQ(records.activate(*module, host.globalLookup(), 2), 0);
        EXPECT_THAT(lookupsMade(host),
                    ElementsAre("LWVParmFuncs 2", "LW Item Info 4", "Animation Envelopes",
                                "LW Time Info", "LW Camera Info 5"));
        const InstanceCallbackTable& table = *records.instanceTable.get();
        EXPECT_EQ(table.privateWord, reinterpret_cast<void*>(host.globalLookup()));
        const std::vector<const void*> callbacks = {
            reinterpret_cast<const void*>(table.create),
            reinterpret_cast<const void*>(table.destroy),
            reinterpret_cast<const void*>(table.copy),
            reinterpret_cast<const void*>(table.load),
            reinterpret_cast<const void*>(table.save),
            reinterpret_cast<const void*>(table.describe),
            reinterpret_cast<const void*>(records.handler->preview),
            reinterpret_cast<const void*>(records.handler->newFrame),
            reinterpret_cast<const void*>(records.handler->evaluate),
            reinterpret_cast<const void*>(records.handler->flags)};
        for (const void* callback : callbacks) {
            EXPECT_NE(callback, nullptr);
            EXPECT_EQ(std::count(callbacks.begin(), callbacks.end(), callback), 1);
        }
        EXPECT_EQ(records.handler->instance, records.instanceTable.get());
        EXPECT_TRUE(records.hostWordsUntouched());
        EXPECT_TRUE(records.handler.check());
        EXPECT_TRUE(records.instanceTable.check());
        EXPECT_THAT(host.finalViolations(), IsEmpty());
    }
}

TEST(Activation, AMissingRequiredServiceReturns2AndLeavesBothRecordsAsTheyWere) {
    for (int variant = 1; variant <= kBuildVariants; ++variant) {
        for (const char* missing :
             {"LWVParmFuncs 2", "LW Item Info 4", "Animation Envelopes", "LW Time Info"}) {
            SCOPED_TRACE(builtModulePath(variant) + " without " + missing);
            SimHost host;
            host.setServiceAbsent(missing);
            auto module = loadBuild(variant);
            ASSERT_NE(module, nullptr);
            HandlerRecords records;
            const std::vector<unsigned char> before = records.bytes();
            EXPECT_EQ(records.activate(*module, host.globalLookup(), 2), 2);
            EXPECT_EQ(records.bytes(), before);
            EXPECT_THAT(host.finalViolations(), IsEmpty());
        }
    }
}

TEST(Activation, WithoutCameraInfoTheHandlerStillInstallsTheSameElevenWords) {
    for (int variant = 1; variant <= kBuildVariants; ++variant) {
        SCOPED_TRACE(builtModulePath(variant));
        SimHost host;
        auto module = loadBuild(variant);
        ASSERT_NE(module, nullptr);
        HandlerRecords full;
        ASSERT_EQ(full.activate(*module, host.globalLookup(), 2), 0);

        host.setServiceAbsent("LW Camera Info 5");
        HandlerRecords records;
        EXPECT_EQ(records.activate(*module, host.globalLookup(), 2), 0);
        // Every written word equals the full host's; bytes 4 and 8 are still the host's.
        std::vector<unsigned char> expected = full.bytes();
        std::memcpy(expected.data(), &records.handler->instance, sizeof(void*));
        EXPECT_EQ(records.bytes(), expected);
        EXPECT_TRUE(records.hostWordsUntouched());
        EXPECT_THAT(host.finalViolations(), IsEmpty());
    }
}

// A global lookup of its own, handed to the second activation: it counts what the module asks
// and answers "LW Item Info 4" with a table whose vector operation counts its calls.
struct SecondLookup {
    static inline int lookups = 0;
    static inline int vectorCalls = 0;
    static inline ItemInfo itemInfo{};

    static void* HOSTCALL lookup(const char* name, int useMode) {
        ++lookups;
        if (std::strcmp(name, "LW Item Info 4") == 0) {
            return &itemInfo;
        }
        return SimHost::current()->globalLookup()(name, useMode);
    }
    static void HOSTCALL vector(HostItemId item, int code, double time, DVec3* out) {
        ++vectorCalls;
        hostsim::CameraItems::itemTable()->vector(item, code, time, out);
    }
    static void reset() {
        lookups = 0;
        vectorCalls = 0;
        itemInfo = *hostsim::CameraItems::itemTable();
        itemInfo.vector = vector;
    }
};

TEST(Activation, ASecondHandlerActivationReplacesTheServiceSet) {
    for (int variant = 1; variant <= kBuildVariants; ++variant) {
        SCOPED_TRACE(builtModulePath(variant));
        SimHost host;
        auto module = loadBuild(variant);
        ASSERT_NE(module, nullptr);
        HandlerRecords first;
        ASSERT_EQ(first.activate(*module, host.globalLookup(), 2), 0);
        SecondLookup::reset();
        HandlerRecords second;
        ASSERT_EQ(second.activate(*module, SecondLookup::lookup, 2), 0);
        EXPECT_EQ(SecondLookup::lookups, 5);
        EXPECT_EQ(second.instanceTable->privateWord,
                  reinterpret_cast<void*>(&SecondLookup::lookup));

        // The callbacks installed by the first activation now work with the second set: create
        // looks services up through the latest lookup, a new frame reads the new item table.
        const int lookupsBefore = SecondLookup::lookups;
        HostError message = nullptr;
        HostItemId camera = host.cameras().addCamera();
        HostInstance instance = callModule(first.instanceTable->create,
                                           first.instanceTable->privateWord, camera, &message);
        ASSERT_NE(instance, nullptr);
        EXPECT_GT(SecondLookup::lookups, lookupsBefore);
        GuardedRecord<FrameTiming> timing("FrameTiming");
        timing->duration = 1.0;
        timing->motionSteps = 1;
        GuardedRecord<HostCameraRecord> cameraRecord("HostCameraRecord");
        cameraRecord->cameraItem = camera;
        cameraRecord->filmWidth = 0.036;
        cameraRecord->filmHeight = 0.024;
        EXPECT_EQ(callModule(first.handler->newFrame, instance,
                             static_cast<const FrameTiming*>(timing.get()),
                             static_cast<const HostCameraRecord*>(cameraRecord.get())),
                  nullptr);
        EXPECT_EQ(SecondLookup::vectorCalls, 4 * 5); // four vectors at each of 4 x 1 + 1 times
        callModule(first.instanceTable->destroy, instance);
        EXPECT_THAT(host.finalViolations(), IsEmpty());
    }
}

TEST(Activation, InterfaceWritesThePanelOrLeavesTheRecordAlone) {
    struct Case {
        const char* what;
        bool panelCreateFails;
        bool xpanelAbsent;
        int expected;
    };
    const Case cases[] = {
        {"panel made", false, false, 0},
        {"panel creation fails", true, false, 0},
        {"no LWXPanel", false, true, 2},
    };
    for (int variant = 1; variant <= kBuildVariants; ++variant) {
        for (const Case& c : cases) {
            SCOPED_TRACE(builtModulePath(variant) + " " + c.what);
            SimHost host;
            hostsim::XPanelService panels(host);
            auto module = loadBuild(variant);
            ASSERT_NE(module, nullptr);
            ASSERT_EQ(module->activateHandler(host.globalLookup()).result, 0);
            const InstanceCallbackTable& callbacks = module->instanceCallbacks();
            HostError message = nullptr;
            HostInstance instance = callModule(callbacks.create, callbacks.privateWord,
                                               host.cameras().addCamera(), &message);
            ASSERT_NE(instance, nullptr);
            host.log().clear();
            panels.setCreateFails(c.panelCreateFails);
            host.setServiceAbsent("LWXPanel", c.xpanelAbsent);

            GuardedRecord<InterfaceRecord> record("InterfaceRecord", 1, kHostFill);
            record->instance = instance;
            const std::vector<unsigned char> before = bytesOf(record.get(), 16);
            EXPECT_EQ(activateInterfaceOf(*module, host.globalLookup(), 4, record.get()),
                      c.expected);
            EXPECT_THAT(lookupsMade(host), ElementsAre("Instance Update", "LWXPanel"));
            EXPECT_TRUE(record.check());
            if (c.expected == 0 && !c.panelCreateFails) {
                EXPECT_EQ(record->instance, instance);
                ASSERT_EQ(panels.panels().size(), 1u);
                EXPECT_EQ(record->panel, panels.panels()[0]);
                EXPECT_EQ(record->hostWord8, nullptr);
                EXPECT_EQ(record->hostWord12, nullptr);
                panels.destroyPanel(record->panel);
            } else {
                EXPECT_EQ(bytesOf(record.get(), 16), before);
                EXPECT_THAT(panels.panels(), IsEmpty());
            }
            callModule(callbacks.destroy, instance);
            EXPECT_THAT(host.finalViolations(), IsEmpty());
        }
    }
}

} // namespace
