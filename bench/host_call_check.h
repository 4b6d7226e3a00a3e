// Compares two stretches of the host's call log: the replay of host_call_replay.h only stands
// for the host's share if it makes exactly the calls the module made.
#pragma once

#include <functional>
#include <string>

#include "hostsim/sim_host.h"

namespace vbench {

// Runs moduleCall and replay, each with the call log recording, and compares the calls they
// made (service, operation, every argument but the
// addresses of result buffers). False with the first difference in *error. The
// log is left empty and recording.
bool replayMatchesModule(hostsim::SimHost& host, const std::function<bool()>& moduleCall,
                         const std::function<void()>& replay, std::string* error);

} // namespace vbench
