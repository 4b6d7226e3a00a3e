// Results of the validate command's checks: one line per check, "PASS name" or
// "FAIL name: reason", as the command prints them.
#pragma once

#include <string>
#include <vector>

namespace hostsim::validate {

struct CheckResult {
    std::string name;
    bool passed = false;
    std::string reason; // why it failed; empty when it passed
};

// "PASS name" or "FAIL name: reason".
std::string resultLine(const CheckResult& result);
// The line back into a result; false for any other line.
bool parseResultLine(const std::string& line, CheckResult* result);

// Collects the checks of one group as they run.
class Report {
  public:
    // Records one check; returns whether it passed.
    bool check(const std::string& name, bool passed, const std::string& reason = "");
    const std::vector<CheckResult>& results() const { return results_; }

  private:
    std::vector<CheckResult> results_;
};

} // namespace hostsim::validate
