// The activation group of `hostsim validate`.
#include <cstring>

#include "hostsim/misaligned_call.h"
#include "hostsim/module_session.h"
#include "hostsim/validate_groups.h"

namespace hostsim::validate {

namespace {

constexpr std::uint32_t kSyncWord = 0x04121994u;
constexpr const char* kRequiredServices[] = {"LWVParmFuncs 2", "LW Item Info 4",
                                             "Animation Envelopes", "LW Time Info"};

bool nothingInstalled(const LoadedModule& module) {
    const HandlerCallbackTable& handler = module.handlerCallbacks();
    const InstanceCallbackTable& instance = module.instanceCallbacks();
    return handler.preview == nullptr && handler.newFrame == nullptr &&
           handler.evaluate == nullptr && handler.flags == nullptr && instance.create == nullptr &&
           instance.destroy == nullptr && module.handlerRecordsIntact();
}

// A second handler activation of the same module file into fresh host records, as the host
// activates the handler again for every new camera.
Activation activateAgain(const std::string& path, GlobalLookupFn lookup, int version,
                         bool* untouched) {
    std::string error;
    std::unique_ptr<LoadedModule> again = LoadedModule::load(path, &error);
    if (again == nullptr) {
        return Activation{false, -1, error};
    }
    const Activation activation = again->activateHandler(lookup, version);
    *untouched = nothingInstalled(*again);
    return activation;
}

void checkServers(const LoadedModule& module, Report* report) {
    const ServerEntry* handler = module.findServer("CameraHandler");
    const ServerEntry* panel = module.findServer("CameraInterface");
    const std::string variant = module.buildVariant();
    std::string why;
    if (handler == nullptr || panel == nullptr) {
        why = "CameraHandler or CameraInterface missing from the server table";
    } else if (variant.empty() || handler->serverName != "VellaryCamera0.1.5" + variant ||
               panel->serverName != handler->serverName) {
        why = "server names \"" + handler->serverName + "\" and \"" + panel->serverName + "\"";
    }
    report->check("activation: servers", why.empty(), why);
}

void checkInterface(ModuleSession& session, Report* report) {
    std::string error;
    HostInstance instance = session.createInstance(&error);
    if (!report->check("activation: create for the panel", instance != nullptr, error)) {
        return;
    }
    const OpenedPanel opened = session.openPanel(instance);
    const std::string title = session.panels().title(opened.panel);
    report->check(
        "activation: interface",
        opened.activation.result == 0 && opened.panel != nullptr && title == "Vellary Camera",
        "result " + std::to_string(opened.activation.result) + ", panel title \"" + title + "\"");

    GuardedRecord<InterfaceRecord> record("InterfaceRecord", 1, 0xCD);
    record->instance = instance;
    InterfaceRecord before = *record;
    const Activation badVersion =
        session.module().activateInterface(session.host().globalLookup(), record.get(), 3);
    report->check("activation: interface refuses version 3",
                  badVersion.result == 1 && std::memcmp(&before, record.get(), sizeof before) == 0,
                  "result " + std::to_string(badVersion.result));

    session.host().setServiceAbsent("LWXPanel");
    const Activation noPanels =
        session.module().activateInterface(session.host().globalLookup(), record.get());
    session.host().setServiceAbsent("LWXPanel", false);
    report->check("activation: interface without LWXPanel",
                  noPanels.result == 2 && std::memcmp(&before, record.get(), sizeof before) == 0 &&
                      record.check(),
                  "result " + std::to_string(noPanels.result));

    // The panel opened before still draws after the failed activation.
    const bool drawn =
        opened.panel != nullptr && session.panels().drawControl(opened.panel, 0x8007).has_value();
    report->check("activation: earlier panel still draws after a failed activation", drawn,
                  "the thumbnail could not be drawn");
}

} // namespace

void runActivationGroup(const std::string& modulePath, Report* report) {
    std::string error;
    std::unique_ptr<ModuleSession> session = ModuleSession::open(modulePath, &error);
    if (!report->check("activation: load module", session != nullptr, error)) {
        return;
    }
    const DescriptorWords& words = session->module().descriptorWords();
    report->check("activation: descriptor", words.syncWord == kSyncWord && words.version == 3,
                  "sync word " + std::to_string(words.syncWord) + ", version " +
                      std::to_string(words.version));
    checkServers(session->module(), report);
    const Activation& handler = session->handlerActivation();
    report->check("activation: handler",
                  handler.called && handler.result == 0 &&
                      session->module().handlerRecordsIntact() &&
                      session->module().handlerHostWordsIntact(),
                  handler.called ? "result " + std::to_string(handler.result) +
                                       " or the host's records damaged"
                                 : handler.error);
    if (!session->handlerActive()) {
        return;
    }
    SimHost& host = session->host();
    bool untouched = false;
    const Activation badVersion = activateAgain(modulePath, host.globalLookup(), 3, &untouched);
    report->check("activation: handler refuses version 3", badVersion.result == 1 && untouched,
                  "result " + std::to_string(badVersion.result));

    std::string missingWhy;
    for (const char* service : kRequiredServices) {
        host.setServiceAbsent(service);
        const Activation missing = activateAgain(modulePath, host.globalLookup(), 2, &untouched);
        host.setServiceAbsent(service, false);
        if (missing.result != 2 || !untouched) {
            missingWhy += std::string(missingWhy.empty() ? "" : "; ") + "without \"" + service +
                          "\": result " + std::to_string(missing.result);
        }
    }
    report->check("activation: handler without a required service", missingWhy.empty(), missingWhy);

    // The failed activations above must not have taken the services from the first one.
    HostInstance instance = session->createInstance(&error);
    report->check("activation: handler still works after a failed activation",
                  instance != nullptr && host.channels().aliveCount() == 5, error);
    checkInterface(*session, report);

    const std::vector<std::string> violations = session->close();
    report->check("activation: no host violations", violations.empty(),
                  violations.empty() ? "" : violations.front());
}

} // namespace hostsim::validate
