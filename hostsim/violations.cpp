#include "hostsim/violations.h"

#include <utility>

namespace hostsim {

void Violations::report(std::string what) {
    std::lock_guard<std::mutex> lock(mutex_);
    list_.push_back(std::move(what));
}

std::vector<std::string> Violations::all() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return list_;
}

bool Violations::empty() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return list_.empty();
}

void Violations::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    list_.clear();
}

} // namespace hostsim
