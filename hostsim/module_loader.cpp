#include "hostsim/module_loader.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "hostsim/misaligned_call.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace hostsim {

namespace {

// A server table longer than this is taken as one without its ending record.
constexpr std::size_t kMaxServers = 64;
constexpr std::size_t kMaxNameLength = 256;
// What the host keeps in the handler record's own words; the module must leave them alone.
const auto kHostItemFuncsWord = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x484F5354));
const auto kHostRenderFuncsWord = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x52454E44));

std::string hexWord(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

#ifdef _WIN32
std::string lastErrorText() {
    const DWORD code = GetLastError();
    char buffer[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text.empty() ? "error " + std::to_string(code) : text;
}

void* openLibrary(const std::string& path, std::string* error) {
    // No message box for a file that isn't a library: the caller reports it.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE library = LoadLibraryA(path.c_str());
    if (library == nullptr) {
        *error = lastErrorText();
    }
    SetErrorMode(previous);
    return reinterpret_cast<void*>(library);
}

const void* findSymbol(void* library, const char* name) {
    return reinterpret_cast<const void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeLibrary(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}
#else
// Under the leak checker the module stays mapped after it is closed. The module keeps its last
// motion-sample table by design until it is unloaded; mapped, the table stays reachable through
// the module's own variable instead of being reported as a leak of code that is gone (which the
// checker could neither name nor tell apart from a real leak). Any other block the module
// leaves behind is still reported, now with the module's function names.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kLeakCheckedOpenFlags = RTLD_NODELETE;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kLeakCheckedOpenFlags = RTLD_NODELETE;
#else
constexpr int kLeakCheckedOpenFlags = 0;
#endif
#else
constexpr int kLeakCheckedOpenFlags = 0;
#endif

void* openLibrary(const std::string& path, std::string* error) {
    // A name without a slash would be searched for on the library path instead of opened.
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    void* library = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL | kLeakCheckedOpenFlags);
    if (library == nullptr) {
        const char* reason = dlerror();
        *error = reason != nullptr ? reason : "unknown reason";
    }
    return library;
}

const void* findSymbol(void* library, const char* name) {
    return dlsym(library, name);
}

void closeLibrary(void* library) {
    dlclose(library);
}
#endif

// A name from the module's memory, bounded so a wild pointer into text without an end is cut.
bool copyName(const char* text, std::string* out) {
    if (text == nullptr) {
        return false;
    }
    std::size_t length = 0;
    while (length < kMaxNameLength && text[length] != '\0') {
        ++length;
    }
    out->assign(text, length);
    return length < kMaxNameLength;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

std::string activationResultText(int result) {
    switch (result) {
    case 0:
        return "activated";
    case 1:
        return "unsupported version";
    case 2:
        return "required service missing";
    default:
        return "code " + std::to_string(result);
    }
}

std::unique_ptr<LoadedModule> LoadedModule::load(const std::string& path, std::string* error) {
    std::error_code status;
    if (!std::filesystem::exists(path, status)) {
        *error = "no such module file: " + path;
        return nullptr;
    }
    if (!std::filesystem::is_regular_file(path, status)) {
        *error = "not a module file: " + path + " is not a regular file";
        return nullptr;
    }
    std::unique_ptr<LoadedModule> module(new LoadedModule());
    module->path_ = path;
    std::string reason;
    module->library_ = openLibrary(path, &reason);
    if (module->library_ == nullptr) {
        *error = "not a loadable module: " + path + " (" + reason + ")";
        return nullptr;
    }
    const void* symbol = findSymbol(module->library_, MODULE_DESCRIPTOR_SYMBOL);
    if (symbol == nullptr) {
        *error = "not a module: " + path + " exports no " MODULE_DESCRIPTOR_SYMBOL;
        return nullptr;
    }
    if (!module->readDescriptor(symbol, error)) {
        *error = "not a module: " + path + ": " + *error;
        return nullptr;
    }
    module->startupResult_ = callModule(module->descriptor_->startup);
    module->started_ = true;
    return module;
}

bool LoadedModule::readDescriptor(const void* symbol, std::string* error) {
    descriptor_ = static_cast<const ModuleDescriptor*>(symbol);
    words_ = DescriptorWords{descriptor_->syncWord, descriptor_->version, descriptor_->platform};
    if (words_.syncWord != MODULE_SYNC_WORD) {
        *error =
            "sync word " + hexWord(words_.syncWord) + ", expected " + hexWord(MODULE_SYNC_WORD);
        return false;
    }
    if (descriptor_->startup == nullptr) {
        *error = "the descriptor has no start-up function";
        return false;
    }
    if (descriptor_->servers == nullptr) {
        *error = "the descriptor has no server table";
        return false;
    }
    for (std::size_t i = 0; i < kMaxServers; ++i) {
        const ServerRecord& record = descriptor_->servers[i];
        if (record.className == nullptr && record.serverName == nullptr &&
            record.activate == nullptr) {
            return true;
        }
        ServerEntry entry;
        if (!copyName(record.className, &entry.className) ||
            !copyName(record.serverName, &entry.serverName) || record.activate == nullptr) {
            // Appended piece by piece: GCC 12 warns falsely about `"text" + std::string&&`.
            error->assign("server record ");
            error->append(std::to_string(i));
            error->append(" lacks a class name, a server name or an activation function");
            return false;
        }
        entry.activate = record.activate;
        servers_.push_back(entry);
    }
    *error =
        "server table without its ending record within " + std::to_string(kMaxServers) + " records";
    return false;
}

LoadedModule::~LoadedModule() {
    if (library_ == nullptr) {
        return;
    }
    // Shut-down gets what start-up returned, and only a started module is shut down.
    if (started_ && descriptor_->shutdown != nullptr) {
        callModule(descriptor_->shutdown, startupResult_);
    }
    closeLibrary(library_);
}

const ServerEntry* LoadedModule::findServer(const std::string& className) const {
    for (const ServerEntry& entry : servers_) {
        if (entry.className == className) {
            return &entry;
        }
    }
    return nullptr;
}

std::string LoadedModule::buildVariant() const {
    const ServerEntry* handler = findServer(CLASS_CAMERA_HANDLER);
    if (handler == nullptr) {
        return {};
    }
    for (const char* variant : {"test1", "test2", "test3"}) {
        if (endsWith(handler->serverName, variant)) {
            return variant;
        }
    }
    return {};
}

Activation LoadedModule::activateHandler(GlobalLookupFn globalLookup, int version) {
    const ServerEntry* server = findServer(CLASS_CAMERA_HANDLER);
    if (server == nullptr) {
        return Activation{false, -1, "the module has no " CLASS_CAMERA_HANDLER " server"};
    }
    *instanceCallbacks_ = InstanceCallbackTable{};
    *handler_ = HandlerCallbackTable{};
    handler_->instance = instanceCallbacks_.get();
    handler_->hostItemFuncs = kHostItemFuncsWord;
    handler_->hostRenderFuncs = kHostRenderFuncsWord;
    const int result = callModule(server->activate, version, globalLookup,
                                  static_cast<void*>(handler_.get()), static_cast<void*>(nullptr));
    return Activation{true, result, {}};
}

bool LoadedModule::handlerHostWordsIntact() const {
    return handler_.get()->instance == instanceCallbacks_.get() &&
           handler_.get()->hostItemFuncs == kHostItemFuncsWord &&
           handler_.get()->hostRenderFuncs == kHostRenderFuncsWord;
}

Activation LoadedModule::activateInterface(GlobalLookupFn globalLookup, InterfaceRecord* record,
                                           int version) {
    const ServerEntry* server = findServer(CLASS_CAMERA_INTERFACE);
    if (server == nullptr) {
        return Activation{false, -1, "the module has no " CLASS_CAMERA_INTERFACE " server"};
    }
    const int result = callModule(server->activate, version, globalLookup,
                                  static_cast<void*>(record), static_cast<void*>(nullptr));
    return Activation{true, result, {}};
}

} // namespace hostsim
