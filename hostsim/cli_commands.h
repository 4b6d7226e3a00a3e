// The subcommands of the hostsim command line. Each adds itself to the application; when the
// user picks it, its callback runs and stores the program's exit code. A new command is one
// more add function here and one more line in main.cpp's list.
#pragma once

#include <CLI/CLI.hpp>

namespace hostsim::cli {

// Exit codes shared by the commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the module or the host reported a failure
inline constexpr int kExitUnusable = 2; // the module file couldn't be loaded

void addInfoCommand(CLI::App& app, int* exitCode);
void addThumbnailCommand(CLI::App& app, int* exitCode);
void addValidateCommand(CLI::App& app, int* exitCode);
void addRenderCommand(CLI::App& app, int* exitCode);

} // namespace hostsim::cli
