#include "hostsim/validate_process.h"

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

extern char** environ;
#endif

namespace hostsim::validate {

#ifdef _WIN32

std::string ownExecutablePath(const char* fallback) {
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string(fallback);
}

namespace {
// The C runtime joins spawn arguments with spaces: each one is quoted so paths with spaces stay
// one argument (the arguments here never contain quotes themselves).
std::string quoted(const std::string& argument) {
    return "\"" + argument + "\"";
}
} // namespace

int runChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                    std::string* problem) {
    std::vector<std::string> words;
    words.push_back(quoted(program));
    for (const std::string& argument : arguments) {
        words.push_back(quoted(argument));
    }
    std::vector<const char*> argv;
    for (const std::string& word : words) {
        argv.push_back(word.c_str());
    }
    argv.push_back(nullptr);
    const intptr_t result = _spawnv(_P_WAIT, program.c_str(), argv.data());
    if (result == -1) {
        *problem = "cannot start " + program;
        return -1;
    }
    // A crash ends the child with an exception code such as 0xC0000005.
    const unsigned long code = static_cast<unsigned long>(result);
    return code >= 0xC0000000ul ? -1 : static_cast<int>(result);
}

#else

std::string ownExecutablePath(const char* fallback) {
    char path[PATH_MAX + 1] = {};
    const ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string(fallback);
}

int runChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                    std::string* problem) {
    std::vector<std::string> words;
    words.push_back(program);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    const int started =
        posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (started != 0) {
        *problem = "cannot start " + program + ": " + std::strerror(started);
        return -1;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            *problem = std::string("waiting for the child failed: ") + std::strerror(errno);
            return -1;
        }
    }
    if (WIFSIGNALED(status)) {
        *problem = "the child was ended by signal " + std::to_string(WTERMSIG(status));
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

} // namespace hostsim::validate
