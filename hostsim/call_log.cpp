#include "hostsim/call_log.h"

#include <utility>

namespace hostsim {

void CallLog::record(std::string service, std::string operation,
                     std::vector<std::string> arguments) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++total_;
    if (recording_) {
        calls_.push_back(HostCall{std::move(service), std::move(operation), std::move(arguments)});
    }
}

std::vector<HostCall> CallLog::calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

std::vector<std::string> CallLog::operations() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> names;
    names.reserve(calls_.size());
    for (const HostCall& call : calls_) {
        names.push_back(call.service + "." + call.operation);
    }
    return names;
}

std::size_t CallLog::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_.size();
}

void CallLog::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
    total_ = 0;
}

void CallLog::setRecording(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    recording_ = on;
}

std::size_t CallLog::totalCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return total_;
}

} // namespace hostsim
