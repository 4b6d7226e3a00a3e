// `hostsim info MODULE`: what the host sees of a module file: its descriptor, its servers, the
// build it was made as, and whether both servers activate against the stand-in host.
#include <cstdio>
#include <iostream>
#include <string>

#include "hostsim/cli_commands.h"
#include "hostsim/module_session.h"

namespace hostsim::cli {

namespace {

std::string hexWord(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

void printDescriptor(const LoadedModule& module) {
    const DescriptorWords& words = module.descriptorWords();
    std::cout << "module: " << module.path() << "\n"
              << "descriptor: sync word " << hexWord(words.syncWord) << ", version "
              << words.version << ", platform " << hexWord(words.platform) << "\n"
              << "start-up returned: " << reinterpret_cast<std::uintptr_t>(module.startupResult())
              << "\n"
              << "servers:\n";
    for (const ServerEntry& server : module.servers()) {
        std::cout << "  " << server.className << "  " << server.serverName << "\n";
    }
    const std::string variant = module.buildVariant();
    std::cout << "build variant: " << (variant.empty() ? "unknown" : variant) << "\n";
}

bool reportActivation(const char* className, int version, const Activation& activation) {
    std::cout << "activation " << className << " (version " << version << "): ";
    if (!activation.called) {
        std::cout << "not made: " << activation.error << "\n";
        return false;
    }
    std::cout << activation.result << " " << activationResultText(activation.result) << "\n";
    return activation.result == 0;
}

// The interface server builds the panel of one instance, so it is activated for a fresh one.
bool activateInterfaceForNewInstance(ModuleSession& session) {
    std::string error;
    HostInstance instance = session.createInstance(&error);
    if (instance == nullptr) {
        std::cout << "activation " CLASS_CAMERA_INTERFACE ": not made: no instance (" << error
                  << ")\n";
        return false;
    }
    const OpenedPanel opened = session.openPanel(instance);
    if (!reportActivation(CLASS_CAMERA_INTERFACE, kInterfaceVersion, opened.activation)) {
        return false;
    }
    if (opened.panel == nullptr) {
        std::cout << "panel: none (the module wrote no panel)\n";
        return false;
    }
    std::cout << "panel: \"" << session.panels().title(opened.panel) << "\", "
              << session.panels().controls(opened.panel).size() << " controls\n";
    return true;
}

int runInfo(const std::string& path) {
    std::string error;
    std::unique_ptr<ModuleSession> session = ModuleSession::open(path, &error);
    if (session == nullptr) {
        std::cerr << "hostsim info: " << error << "\n";
        return kExitUnusable;
    }
    printDescriptor(session->module());
    bool ok = reportActivation(CLASS_CAMERA_HANDLER, kHandlerVersion, session->handlerActivation());
    if (ok && !session->module().handlerHostWordsIntact()) {
        std::cout << "handler record: the module overwrote the host's own words\n";
        ok = false;
    }
    const bool interfaceOk = activateInterfaceForNewInstance(*session);
    ok = ok && interfaceOk;
    const std::vector<std::string> violations = session->close();
    for (const std::string& violation : violations) {
        std::cout << "host violation: " << violation << "\n";
    }
    return ok && violations.empty() ? kExitOk : kExitFailure;
}

} // namespace

void addInfoCommand(CLI::App& app, int* exitCode) {
    CLI::App* command =
        app.add_subcommand("info", "Load a module file and report its descriptor, servers, "
                                   "build variant and activation results");
    auto path = std::make_shared<std::string>();
    command->add_option("module", *path, "The module file (.p)")->required();
    command->callback([path, exitCode] { *exitCode = runInfo(*path); });
}

} // namespace hostsim::cli
