// hostsim: the stand-in host on the command line. It loads a built camera module as the host
// would and reports what it finds; see `hostsim --help` for the commands.
#include <CLI/CLI.hpp>

#include "hostsim/cli_commands.h"

namespace {

using AddCommand = void (*)(CLI::App&, int*);

// Every subcommand, in the order --help lists them.
constexpr AddCommand kCommands[] = {
    hostsim::cli::addInfoCommand,
    hostsim::cli::addThumbnailCommand,
    hostsim::cli::addValidateCommand,
    hostsim::cli::addRenderCommand,
};

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Stand-in host for the Vellary Camera module"};
    app.require_subcommand(1);
    // Under Wine a file's path may be a Unix one ("/work/..."): never a Windows-style option.
    // Subcommands take this setting from the app when they are added.
    app.allow_windows_style_options(false);
    int exitCode = hostsim::cli::kExitOk;
    for (AddCommand add : kCommands) {
        add(app, &exitCode);
    }
    CLI11_PARSE(app, argc, argv);
    return exitCode;
}
