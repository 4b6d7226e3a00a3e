// A module loaded into a fresh stand-in host, as the command line uses it: the host with its
// panel service, the module with its handler activated, and the instances and panels opened
// through it, which the session closes again (panels, then instances, then the module).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/host_records.h"
#include "hostsim/module_loader.h"
#include "hostsim/sim_host.h"
#include "hostsim/xpanel_service.h"

namespace hostsim {

struct OpenedPanel {
    Activation activation;
    XPanel panel = nullptr; // null unless the activation wrote one
};

class ModuleSession {
  public:
    // Loads the module and activates its handler; null with the reason in *error when the file
    // can't be loaded (an activation failure is not an error here: see handlerActivation()).
    static std::unique_ptr<ModuleSession> open(const std::string& path, std::string* error);
    ~ModuleSession(); // closes, if close() wasn't called
    // Destroys the panels and instances opened here, shuts the module down and unloads it, and
    // returns the host's final violations (channels left behind count as leaks).
    std::vector<std::string> close();
    ModuleSession(const ModuleSession&) = delete;
    ModuleSession& operator=(const ModuleSession&) = delete;

    SimHost& host() { return *host_; }
    XPanelService& panels() { return *panels_; }
    LoadedModule& module() { return *module_; } // until close()
    const Activation& handlerActivation() const { return handlerActivation_; }
    bool handlerActive() const {
        return handlerActivation_.called && handlerActivation_.result == 0;
    }

    // Adds a camera item and creates an instance for it through the create callback the module
    // installed; null with the module's message (or the host's reason) in *error.
    HostInstance createInstance(std::string* error);
    // Activates the interface server for the instance, as the host does when the user opens the
    // camera's settings.
    OpenedPanel openPanel(HostInstance instance);
    // Calls the preview callback once, so the instance knows its film as it would after the host
    // showed the interactive view; the callback's result, or -1 without a handler or for an
    // instance this session did not create.
    int preview(HostInstance instance, double filmWidth, double filmHeight);

  private:
    ModuleSession() = default;

    std::unique_ptr<SimHost> host_;
    std::unique_ptr<XPanelService> panels_;
    std::unique_ptr<LoadedModule> module_;
    Activation handlerActivation_;
    struct CreatedInstance {
        HostInstance instance;
        HostItemId camera;
    };
    std::vector<CreatedInstance> instances_;
    bool closed_ = false;
    std::vector<XPanel> openedPanels_;
};

} // namespace hostsim
