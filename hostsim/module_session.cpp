#include "hostsim/module_session.h"

#include "hostsim/guarded_record.h"
#include "hostsim/misaligned_call.h"

namespace hostsim {

std::unique_ptr<ModuleSession> ModuleSession::open(const std::string& path, std::string* error) {
    std::unique_ptr<ModuleSession> session(new ModuleSession());
    session->host_ = std::make_unique<SimHost>();
    session->panels_ = std::make_unique<XPanelService>(*session->host_);
    session->module_ = LoadedModule::load(path, error);
    if (session->module_ == nullptr) {
        return nullptr;
    }
    session->handlerActivation_ = session->module_->activateHandler(session->host_->globalLookup());
    return session;
}

ModuleSession::~ModuleSession() {
    if (!closed_) {
        close();
    }
}

std::vector<std::string> ModuleSession::close() {
    closed_ = true;
    for (XPanel panel : openedPanels_) {
        panels_->destroyPanel(panel);
    }
    if (module_ != nullptr && handlerActive()) {
        const InstanceCallbackTable& callbacks = module_->instanceCallbacks();
        for (const CreatedInstance& created : instances_) {
            callModule(callbacks.destroy, created.instance);
        }
    }
    instances_.clear();
    openedPanels_.clear();
    module_.reset(); // shut down and unloaded while the host still answers
    return host_->finalViolations();
}

HostInstance ModuleSession::createInstance(std::string* error) {
    if (module_ == nullptr || !handlerActive()) {
        *error = "the camera handler is not activated";
        return nullptr;
    }
    const InstanceCallbackTable& callbacks = module_->instanceCallbacks();
    if (callbacks.create == nullptr) {
        *error = "the module installed no create callback";
        return nullptr;
    }
    HostItemId camera = host_->cameras().addCamera();
    HostError message = nullptr;
    HostInstance instance = callModule(callbacks.create, callbacks.privateWord, camera, &message);
    if (instance == nullptr) {
        *error = message != nullptr ? message : "create returned null without a message";
        return nullptr;
    }
    instances_.push_back(CreatedInstance{instance, camera});
    return instance;
}

OpenedPanel ModuleSession::openPanel(HostInstance instance) {
    OpenedPanel opened;
    if (module_ == nullptr) {
        opened.activation.error = "the module is closed";
        return opened;
    }
    GuardedRecord<InterfaceRecord> record("InterfaceRecord");
    record->instance = instance;
    opened.activation = module_->activateInterface(host_->globalLookup(), record.get());
    record.check();
    if (opened.activation.called && opened.activation.result == 0 && record->panel != nullptr) {
        opened.panel = record->panel;
        openedPanels_.push_back(opened.panel);
    }
    return opened;
}

int ModuleSession::preview(HostInstance instance, double filmWidth, double filmHeight) {
    if (module_ == nullptr) {
        return -1;
    }
    const HandlerCallbackTable& handler = module_->handlerCallbacks();
    const CreatedInstance* created = nullptr;
    for (const CreatedInstance& candidate : instances_) {
        if (candidate.instance == instance) {
            created = &candidate;
        }
    }
    if (!handlerActive() || handler.preview == nullptr || created == nullptr) {
        return -1;
    }
    GuardedRecord<HostCameraRecord> camera("HostCameraRecord");
    camera->cameraItem = created->camera;
    camera->filmWidth = filmWidth;
    camera->filmHeight = filmHeight;
    GuardedRecord<Matrix4d> projection("Matrix4d");
    const int result =
        callModule(handler.preview, instance, 0.0, 0.0, projection.get(), camera.get());
    camera.check();
    projection.check();
    return result;
}

} // namespace hostsim
