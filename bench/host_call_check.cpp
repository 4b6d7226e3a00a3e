#include "bench/host_call_check.h"

#include <vector>

namespace vbench {

namespace {

// Addresses of the caller's own buffers differ between module and replay and say nothing.
std::string argumentText(const std::string& argument) {
    return argument.rfind("0x", 0) == 0 ? "(address)" : argument;
}

std::string callText(const hostsim::HostCall& call) {
    std::string text = call.service + "." + call.operation + "(";
    for (std::size_t i = 0; i < call.arguments.size(); ++i) {
        text += (i == 0 ? "" : ", ") + argumentText(call.arguments[i]);
    }
    return text + ")";
}

std::vector<std::string> loggedCalls(hostsim::CallLog& log) {
    std::vector<std::string> texts;
    for (const hostsim::HostCall& call : log.calls()) {
        texts.push_back(callText(call));
    }
    log.clear();
    return texts;
}

} // namespace

bool replayMatchesModule(hostsim::SimHost& host, const std::function<bool()>& moduleCall,
                         const std::function<void()>& replay, std::string* error) {
    hostsim::CallLog& log = host.log();
    log.setRecording(true);
    log.clear();
    if (!moduleCall()) {
        *error = "the module's callback failed";
        log.clear();
        return false;
    }
    const std::vector<std::string> fromModule = loggedCalls(log);
    replay();
    const std::vector<std::string> fromReplay = loggedCalls(log);
    if (fromModule.empty()) {
        *error = "the module made no host call";
        return false;
    }
    for (std::size_t i = 0; i < fromModule.size() || i < fromReplay.size(); ++i) {
        const std::string a = i < fromModule.size() ? fromModule[i] : "(none)";
        const std::string b = i < fromReplay.size() ? fromReplay[i] : "(none)";
        if (a != b) {
            *error = "host call " + std::to_string(i) + ": module " + a + ", replay " + b;
            return false;
        }
    }
    return true;
}

} // namespace vbench
