// The stand-in host: answers the module's global lookup with every service the module uses and
// keeps the scene state behind them (channels, camera items, current time), the call log and
// the list of violations.
//
// The host's global lookup carries no context, so one SimHost is active per process at a time:
// constructing one makes it current, destroying it clears it.
#pragma once

#include <map>
#include <set>
#include <string>

#include "host/host_types.h"
#include "hostsim/call_log.h"
#include "hostsim/violations.h"

namespace hostsim {

class SimHost {
  public:
    SimHost();
    ~SimHost();
    SimHost(const SimHost&) = delete;
    SimHost& operator=(const SimHost&) = delete;

    // The active host, or null.
    static SimHost* current();

    // The global lookup the host hands to activations.
    GlobalLookupFn globalLookup() const;

    // Service registry behind the global lookup. Parts of the stand-in host register their
    // tables here; tests make a service absent to see how the module copes.
    void provideService(const std::string& name, void* table);
    void setServiceAbsent(const std::string& name, bool absent = true);
    void* findService(const std::string& name); // as the module's lookup sees it (logged)

    CallLog& log() { return log_; }
    Violations& violations() { return violations_; }

  private:
    std::map<std::string, void*> services_;
    std::set<std::string> absent_;
    CallLog log_;
    Violations violations_;
};

} // namespace hostsim
