// Times two pieces of work in alternation, each run measured on its own with the steady clock.
// On a machine whose cores are shared with other work, a burst of load then falls on both
// alike, and the medians of the single measurements leave out the runs in which the thread was
// preempted, which a sum over many runs would include. The order alternates too, so neither
// always runs in the cache the other left behind.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace vbench {

struct PairedMedians {
    double first;  // seconds per run
    double second; // seconds per run
};

inline double medianSeconds(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : 0.5 * (values[mid - 1] + values[mid]);
}

template <typename Work> double secondsOf(Work& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count();
}

// One run of each per benchmark iteration.
template <typename First, typename Second>
PairedMedians timeInAlternation(benchmark::State& state, First first, Second second) {
    std::vector<double> firstTimes;
    std::vector<double> secondTimes;
    bool firstLeads = true;
    for (auto _ : state) {
        if (firstLeads) {
            firstTimes.push_back(secondsOf(first));
            secondTimes.push_back(secondsOf(second));
        } else {
            secondTimes.push_back(secondsOf(second));
            firstTimes.push_back(secondsOf(first));
        }
        firstLeads = !firstLeads;
    }
    return PairedMedians{medianSeconds(firstTimes), medianSeconds(secondTimes)};
}

} // namespace vbench
