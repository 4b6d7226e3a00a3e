// A camera handler activated on a fresh stand-in host, as the host sets one up before it makes
// instances: the host's callback tables, filled by the module's activation, and helpers to reach
// an instance's record and its five channels. One session at a time per process (one SimHost is
// active at a time); a test that needs a second host closes the first session's scope first.
#pragma once

#include <array>

#include <gtest/gtest.h>

#include "host/activation.h"
#include "host/host_records.h"
#include "hostsim/sim_host.h"
#include "model/camera_instance.h"
#include "model/instance_parameters.h"

namespace vellary_test {

// An instance's five channel handles in parameter order: zoom, h-shift, v-shift, tilt
// direction, tilt angle.
using InstanceChannels = std::array<ParamChannel, INSTANCE_PARAMETER_COUNT>;

inline CameraInstance& cameraOf(HostInstance instance) {
    return *static_cast<CameraInstance*>(instance);
}

inline InstanceChannels channelsOf(HostInstance instance) {
    InstanceChannels channels{};
    for (int i = 0; i < INSTANCE_PARAMETER_COUNT; ++i) {
        channels[i] = cameraOf(instance).*instanceParameters[i].channel;
    }
    return channels;
}

class HandlerSession {
  public:
    HandlerSession() {
        handler_->instance = instances_.get();
        activation_ =
            activateHandler(HANDLER_VERSION, host_.globalLookup(), handler_.get(), nullptr);
        EXPECT_EQ(ACTIVATION_OK, activation_) << "handler activation on the stand-in host";
    }

    hostsim::SimHost& host() { return host_; }
    InstanceCallbackTable& instances() { return *instances_; }
    HandlerCallbackTable& handler() { return *handler_; }
    bool activated() const { return activation_ == ACTIVATION_OK; }

    // Creates an instance for a camera item as the host does, handing back the private word the
    // module stored at activation.
    HostInstance create(HostItemId item, HostError* error = nullptr) {
        HostError ignored = nullptr;
        return instances_->create(instances_->privateWord, item, error ? error : &ignored);
    }

  private:
    hostsim::SimHost host_;
    hostsim::GuardedRecord<InstanceCallbackTable> instances_{"InstanceCallbackTable"};
    hostsim::GuardedRecord<HandlerCallbackTable> handler_{"HandlerCallbackTable"};
    int activation_ = -1;
};

} // namespace vellary_test
