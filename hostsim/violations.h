// The stand-in host is strict: a call it cannot accept (an unknown or destroyed handle, a
// double destroy, a drawing call outside a drawing, a leak at the end) is recorded as a
// violation instead of crashing the process, and tests fail on any violation.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace hostsim {

class Violations {
  public:
    void report(std::string what);
    std::vector<std::string> all() const;
    bool empty() const;
    void clear();

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> list_;
};

} // namespace hostsim
