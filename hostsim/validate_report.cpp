#include "hostsim/validate_report.h"

namespace hostsim::validate {

std::string resultLine(const CheckResult& result) {
    if (result.passed) {
        return "PASS " + result.name;
    }
    return "FAIL " + result.name + ": " + (result.reason.empty() ? "failed" : result.reason);
}

bool parseResultLine(const std::string& line, CheckResult* result) {
    if (line.rfind("PASS ", 0) == 0) {
        *result = CheckResult{line.substr(5), true, ""};
        return true;
    }
    if (line.rfind("FAIL ", 0) != 0) {
        return false;
    }
    const std::string rest = line.substr(5);
    const std::size_t colon = rest.find(": ");
    *result = colon == std::string::npos
                  ? CheckResult{rest, false, "failed"}
                  : CheckResult{rest.substr(0, colon), false, rest.substr(colon + 2)};
    return true;
}

bool Report::check(const std::string& name, bool passed, const std::string& reason) {
    results_.push_back(CheckResult{name, passed, passed ? "" : reason});
    return passed;
}

} // namespace hostsim::validate
