// The stand-in host: answers the module's global lookup with every service the module uses and
// keeps the scene state behind them (channels, camera items, current time), the call log and
// the list of violations.
//
// The host's global lookup carries no context, so one SimHost is active per process at a time:
// constructing one makes it current, destroying it clears it (constructing a second while one
// is active is a test bug and aborts).
//
// Usage in a test that links the module's code:
//
//   hostsim::SimHost host;
//   HostItemId camera = host.cameras().addCamera();
//   host.cameras().setZoomFactorKey(camera, 0.0, 2.0);
//   host.setTime(0.0);
//
//   hostsim::GuardedRecord<InstanceCallbackTable> instanceTable("InstanceCallbackTable");
//   hostsim::GuardedRecord<HandlerCallbackTable> handler("HandlerCallbackTable");
//   handler->instance = instanceTable.get();
//   ASSERT_EQ(activateHandler(HANDLER_VERSION, host.globalLookup(), handler.get(), nullptr), 0);
//
//   HostError error = nullptr;
//   HostInstance instance = instanceTable->create(nullptr, camera, &error);
//   ParamChannel zoom = host.channels().created()[0];
//   host.channels().setKeys(zoom, {{0.0, 1.0}, {1.0, 3.0}}); // the module now sees animation
//
//   SceneSaveRecord* save = host.scenes().openForWriting("camera.scene");
//   EXPECT_EQ(instanceTable->save(instance, save), nullptr);
//   EXPECT_TRUE(host.scenes().finishWriting(save));
//
//   instanceTable->destroy(instance);
//   EXPECT_THAT(host.finalViolations(), testing::IsEmpty()); // leaks, bad handles, ...
//
// Every host function is HOSTCALL, logs itself in log() ("LWVParmFuncs 2.create", ...;
// handles appear as "channel#3", "item#1", "group#1") and never crashes on bad input: it
// records a violation and answers harmlessly instead.
#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "host/host_types.h"
#include "host/service_tables.h"
#include "hostsim/call_log.h"
#include "hostsim/camera_items.h"
#include "hostsim/guarded_record.h"
#include "hostsim/param_channels.h"
#include "hostsim/scene_files.h"
#include "hostsim/violations.h"

namespace hostsim {

// One call of the "Instance Update" function.
struct InstanceUpdateCall {
    std::string className;
    HostInstance instance;
};

class SimHost {
  public:
    SimHost();
    ~SimHost();
    SimHost(const SimHost&) = delete;
    SimHost& operator=(const SimHost&) = delete;

    // The active host, or null.
    static SimHost* current();

    // The global lookup the host hands to activations: a plain HOSTCALL function that asks the
    // current host. Every lookup is logged as service "globalLookup", operation = the name.
    // Answers "LWVParmFuncs 2", "LW Item Info 4", "LW Camera Info 5", "LW Time Info",
    // "Animation Envelopes" (a table whose every slot reports a violation if called),
    // "Instance Update" (the function itself) and whatever is registered with provideService.
    GlobalLookupFn globalLookup() const;

    // Service registry behind the global lookup. Parts of the stand-in host register their
    // tables here; tests make a service absent to see how the module copes.
    void provideService(const std::string& name, void* table);
    void setServiceAbsent(const std::string& name, bool absent = true);
    void* findService(const std::string& name); // as the module's lookup sees it (logged)

    CallLog& log() { return log_; }
    Violations& violations() { return violations_; }

    // The scene behind the services.
    ParamChannels& channels() { return channels_; }
    CameraItems& cameras() { return cameras_; }
    SceneFiles& scenes() { return scenes_; }

    // The current time of "LW Time Info" (host time units), 0 at start.
    void setTime(double time) { timeInfo_.time = time; }
    double time() const { return timeInfo_.time; }

    // Calls of "Instance Update", in order.
    std::vector<InstanceUpdateCall> instanceUpdates() const;

    // The end-of-test check: reports channels still alive as leaks, then returns every
    // violation recorded so far. A test without faults expects it empty.
    std::vector<std::string> finalViolations();

    // --- For the host's own parts -------------------------------------------------------------
    // Keeps a text for the rest of the host's life and returns it: error results handed to the
    // module must stay valid after the call.
    const char* keepText(std::string text);
    // Distinguishes this host's handles from another host's (handle_tokens.h).
    unsigned serial() const { return serial_; }
    void reportViolation(std::string what) { violations_.report(std::move(what)); }
    // A host function called with no SimHost active: reported on stderr, since there is no
    // host to record it.
    static void reportOrphanCall(const char* what);
    // The host side of "Instance Update": logs and keeps the call.
    int instanceUpdate(const char* className, HostInstance instance);

  private:
    void provideBuiltInServices();

    unsigned serial_;
    mutable std::mutex mutex_; // guards services_, absent_, updates_, texts_
    std::map<std::string, void*> services_;
    std::set<std::string> absent_;
    std::vector<InstanceUpdateCall> updates_;
    std::deque<std::string> texts_;
    TimeInfo timeInfo_{0.0};
    CallLog log_;
    Violations violations_;
    ParamChannels channels_{*this};
    CameraItems cameras_{*this};
    SceneFiles scenes_{*this};
};

// Text of a pointer argument for the call log ("null", "0x12ab").
std::string pointerText(const void* pointer);
// A double for the call log, exact (number_text.h).
std::string numberText(double value);

} // namespace hostsim
