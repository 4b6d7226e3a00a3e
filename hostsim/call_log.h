// Every call the module makes into the stand-in host, in order, so tests can check the order
// of host calls and their arguments.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace hostsim {

struct HostCall {
    std::string service;                // "LWVParmFuncs 2", "globalLookup", "drawing", ...
    std::string operation;              // "create", "setup", "getValue", "line", ...
    std::vector<std::string> arguments; // each argument as text (handles as "channel#3", ...)
};

class CallLog {
  public:
    void record(std::string service, std::string operation,
                std::vector<std::string> arguments = {});
    std::vector<HostCall> calls() const;
    // "service.operation" of every call, in order: handy for comparing sequences.
    std::vector<std::string> operations() const;
    std::size_t size() const;
    void clear();
    // Calls are recorded from any thread (rays may be evaluated in parallel); this switch lets
    // a renderer count calls without storing millions of records.
    void setRecording(bool on);
    std::size_t totalCalls() const;

  private:
    mutable std::mutex mutex_;
    std::vector<HostCall> calls_;
    std::size_t total_ = 0;
    bool recording_ = true;
};

} // namespace hostsim
