// Loads a module file as the host does: opens the library, reads its exported descriptor,
// checks the sync word, calls start-up and activates the servers by class name. From then on
// the host drives only what the module installed in the host's own records.
//
// Everything that can go wrong with a file (missing, not a library, no descriptor, a wrong
// sync word, a malformed server table) is returned as an error text, never a crash.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/host_records.h"
#include "host/module_descriptor.h"
#include "hostsim/guarded_record.h"

namespace hostsim {

inline constexpr int kHandlerVersion = 2;
inline constexpr int kInterfaceVersion = 4;

struct ServerEntry {
    std::string className;
    std::string serverName;
    ActivateFn activate = nullptr;
};

struct DescriptorWords {
    std::uint32_t syncWord = 0;
    std::uint32_t version = 0;
    std::uint32_t platform = 0;
};

// The outcome of one activation call, or why it couldn't be made.
struct Activation {
    bool called = false;
    int result = -1;
    std::string error; // set when not called
};

// "activated", "unsupported version", "required service missing", or "code N".
std::string activationResultText(int result);

class LoadedModule {
  public:
    // The module, started up, or null with the reason in *error.
    static std::unique_ptr<LoadedModule> load(const std::string& path, std::string* error);
    // Calls the module's shut-down function and unloads the library.
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    const std::string& path() const { return path_; }
    const DescriptorWords& descriptorWords() const { return words_; }
    const std::vector<ServerEntry>& servers() const { return servers_; }
    const ServerEntry* findServer(const std::string& className) const;
    // "test1", "test2" or "test3" from the handler's server name, or "" when it has none of them.
    std::string buildVariant() const;
    void* startupResult() const { return startupResult_; }

    // Activates the "CameraHandler" server with the host's HandlerCallbackTable (which reaches
    // the host's InstanceCallbackTable through byte 0). The tables are the host's: they live as
    // long as this object, and the module's callbacks are read from them.
    Activation activateHandler(GlobalLookupFn globalLookup, int version = kHandlerVersion);
    const HandlerCallbackTable& handlerCallbacks() const { return *handler_.get(); }
    const InstanceCallbackTable& instanceCallbacks() const { return *instanceCallbacks_.get(); }
    // True while the module has written nothing around the two tables (guard bytes).
    bool handlerRecordsIntact() const {
        return handler_.guardsIntact() && instanceCallbacks_.guardsIntact();
    }
    // The host's own words of the handler record (bytes 4 and 8), which the module must leave
    // as they were: true while they still hold what the host put there.
    bool handlerHostWordsIntact() const;

    // Activates the "CameraInterface" server for one instance: *record gets the instance at
    // byte 0; its other words are left to the caller (the module writes them on success).
    Activation activateInterface(GlobalLookupFn globalLookup, InterfaceRecord* record,
                                 int version = kInterfaceVersion);

  private:
    LoadedModule() = default;
    bool readDescriptor(const void* symbol, std::string* error);

    std::string path_;
    void* library_ = nullptr;
    const ModuleDescriptor* descriptor_ = nullptr;
    DescriptorWords words_;
    std::vector<ServerEntry> servers_;
    void* startupResult_ = nullptr;
    bool started_ = false;
    GuardedRecord<InstanceCallbackTable> instanceCallbacks_{"InstanceCallbackTable"};
    GuardedRecord<HandlerCallbackTable> handler_{"HandlerCallbackTable"};
};

} // namespace hostsim
