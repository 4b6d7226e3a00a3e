// Runs one check group of the validate command in a child process, so that a module that
// crashes is reported as a failure instead of taking the validator down with it.
#pragma once

#include <string>
#include <vector>

namespace hostsim::validate {

// This program's own executable file, to start it again as the child; fallback when the
// system cannot tell.
std::string ownExecutablePath(const char* fallback);

// Runs program with arguments and waits. The exit code, or -1 when it did not end normally (a
// crash, a signal) or could not be started (then *problem says why).
int runChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                    std::string* problem);

} // namespace hostsim::validate
