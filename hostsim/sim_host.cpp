#include "hostsim/sim_host.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "hostsim/number_text.h"

namespace hostsim {

namespace {

std::atomic<SimHost*> currentHost{nullptr};
std::atomic<unsigned> hostsMade{0};

void* HOSTCALL simGlobalLookup(const char* serviceName, int useMode) {
    SimHost* host = SimHost::current();
    if (host == nullptr) {
        SimHost::reportOrphanCall("globalLookup");
        return nullptr;
    }
    if (serviceName == nullptr) {
        host->log().record("globalLookup", "(null)", {std::to_string(useMode)});
        host->reportViolation("globalLookup: null service name");
        return nullptr;
    }
    if (useMode != 0) {
        host->reportViolation(std::string("globalLookup: \"") + serviceName + "\" with use mode " +
                              std::to_string(useMode) + ", the host expects 0");
    }
    return host->findService(serviceName);
}

int HOSTCALL simInstanceUpdate(const char* className, HostInstance instance) {
    SimHost* host = SimHost::current();
    if (host == nullptr) {
        SimHost::reportOrphanCall("Instance Update");
        return 0;
    }
    return host->instanceUpdate(className, instance);
}

// "Animation Envelopes" has to be present, but the module calls none of its operations. Each
// slot reports a call as a violation; with the C calling convention the caller removes its own
// arguments, so this one function serves any slot's signature.
void HOSTCALL envelopeSlotCalled() {
    if (SimHost* host = SimHost::current()) {
        host->log().record(SERVICE_ANIMATION_ENVELOPES, "unexpectedCall");
        host->reportViolation("Animation Envelopes: the module called one of its operations");
    } else {
        SimHost::reportOrphanCall("Animation Envelopes");
    }
}

struct EnvelopeTable {
    void (*slots[32])();
};

const EnvelopeTable* envelopeTable() {
    static const EnvelopeTable table = [] {
        EnvelopeTable filled{};
        for (auto& slot : filled.slots) {
            slot = envelopeSlotCalled;
        }
        return filled;
    }();
    return &table;
}

} // namespace

SimHost::SimHost() : serial_(++hostsMade) {
    SimHost* expected = nullptr;
    if (!currentHost.compare_exchange_strong(expected, this)) {
        std::fprintf(stderr, "hostsim: a second SimHost was made while one is active\n");
        std::abort();
    }
    provideBuiltInServices();
}

SimHost::~SimHost() {
    const std::size_t leaks = channels_.aliveCount();
    if (leaks > 0) {
        std::fprintf(stderr, "hostsim: %lu channel(s) still alive when the host closed\n",
                     static_cast<unsigned long>(leaks));
    }
    currentHost.store(nullptr);
}

SimHost* SimHost::current() {
    return currentHost.load();
}

GlobalLookupFn SimHost::globalLookup() const {
    return simGlobalLookup;
}

void SimHost::provideBuiltInServices() {
    provideService(SERVICE_VPARM_FUNCS, const_cast<VParmFuncs*>(ParamChannels::table()));
    provideService(SERVICE_ITEM_INFO, const_cast<ItemInfo*>(CameraItems::itemTable()));
    provideService(SERVICE_CAMERA_INFO, const_cast<CameraInfo*>(CameraItems::cameraTable()));
    provideService(SERVICE_TIME_INFO, &timeInfo_);
    provideService(SERVICE_ANIMATION_ENVELOPES, const_cast<EnvelopeTable*>(envelopeTable()));
    provideService(SERVICE_INSTANCE_UPDATE, reinterpret_cast<void*>(&simInstanceUpdate));
}

void SimHost::provideService(const std::string& name, void* table) {
    std::lock_guard<std::mutex> lock(mutex_);
    services_[name] = table;
}

void SimHost::setServiceAbsent(const std::string& name, bool absent) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (absent) {
        absent_.insert(name);
    } else {
        absent_.erase(name);
    }
}

void* SimHost::findService(const std::string& name) {
    log_.record("globalLookup", name);
    std::lock_guard<std::mutex> lock(mutex_);
    if (absent_.count(name) != 0) {
        return nullptr;
    }
    const auto found = services_.find(name);
    return found != services_.end() ? found->second : nullptr;
}

int SimHost::instanceUpdate(const char* className, HostInstance instance) {
    log_.record(SERVICE_INSTANCE_UPDATE, "update",
                {className != nullptr ? className : "(null)", pointerText(instance)});
    if (className == nullptr) {
        reportViolation("Instance Update: null class name");
        return 0;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    updates_.push_back(InstanceUpdateCall{className, instance});
    return 1;
}

std::vector<InstanceUpdateCall> SimHost::instanceUpdates() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return updates_;
}

std::vector<std::string> SimHost::finalViolations() {
    channels_.reportLeaks();
    return violations_.all();
}

const char* SimHost::keepText(std::string text) {
    std::lock_guard<std::mutex> lock(mutex_);
    texts_.push_back(std::move(text));
    return texts_.back().c_str();
}

void SimHost::reportOrphanCall(const char* what) {
    std::fprintf(stderr, "hostsim: %s called with no SimHost active\n", what);
}

std::string pointerText(const void* pointer) {
    if (pointer == nullptr) {
        return "null";
    }
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(pointer)));
    return text;
}

std::string numberText(double value) {
    return doubleText(value);
}

} // namespace hostsim
