// The check groups of `hostsim validate`, each run in a process of its own against a module
// file loaded into a fresh stand-in host:
//   activation  descriptor, servers, both activations with good and bad versions and with
//               services missing, and that a failed activation leaves the handler working
//   callbacks   every callback once with expected results: create, describe, flags, new frame,
//               rays, preview, panel get and set, thumbnail, save, load, copy, destroy
//   stress      instances made, copied, saved, loaded and destroyed in random order, hostile
//               parameter values, frames with random motion-step counts, rays from all cores,
//               the panel read and set
// Every group ends by asking the host for violations (bad handles, leaks, writes outside a
// record).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hostsim/validate_report.h"

namespace hostsim::validate {

// Group names, in the order the command runs them.
const std::vector<std::string>& groupNames();

// Runs one group in this process; false for an unknown group name.
bool runGroup(const std::string& group, const std::string& modulePath, std::uint32_t seed,
              Report* report);

void runActivationGroup(const std::string& modulePath, Report* report);
void runCallbackGroup(const std::string& modulePath, Report* report);
void runStressGroup(const std::string& modulePath, std::uint32_t seed, Report* report);

} // namespace hostsim::validate
