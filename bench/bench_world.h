// The stand-in host with the three build variants loaded into it, as the host would load them,
// and one moving, tilted camera for them to render. Beside the loaded files sits the module's
// code linked into this program (one more activation on the same host): its sample table,
// built from the same camera, is what the inlined floor reads, so floor and module work on
// identical entries.
//
// The host's global lookup has no context, so one world per process; main opens it before the
// benchmarks run and closes it after.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "host/host_records.h"
#include "hostsim/module_loader.h"
#include "hostsim/sim_host.h"

namespace vbench {

inline constexpr int kVariants = 3;

// The camera's film: 36 x 24 mm.
inline constexpr double kFilmWidth = 0.036;
inline constexpr double kFilmHeight = 0.024;

// The motion steps of the frame the ray benchmarks render: 16 table entries plus the last.
inline constexpr int kRayFrameMotionSteps = 4;

struct LoadedVariant {
    int variant = 0; // 1, 2, 3 for test1, test2, test3
    std::unique_ptr<hostsim::LoadedModule> module;
    HostInstance instance = nullptr;
    // Read from the host's handler record after activation, as the host calls them.
    EvaluateRayFn evaluate = nullptr;
    NewFrameFn newFrame = nullptr;
    PreviewFn preview = nullptr;
};

class BenchWorld {
  public:
    // Loads the three module files (test1, test2, test3), activates each handler, creates one
    // instance per module for the same camera item and animates its settings. Null with the
    // reason in *error when a file can't be loaded or activated.
    static std::unique_ptr<BenchWorld> open(const std::array<std::string, kVariants>& paths,
                                            std::string* error);
    ~BenchWorld(); // closes, if close() wasn't called
    // Destroys the instances, shuts the modules down and unloads them, and returns the host's
    // final violations (a benchmark run is only worth its figures if this is empty).
    std::vector<std::string> close();
    BenchWorld(const BenchWorld&) = delete;
    BenchWorld& operator=(const BenchWorld&) = delete;

    hostsim::SimHost& host() { return *host_; }
    LoadedVariant& variant(int variant) { return variants_[variant - 1]; }
    HostItemId cameraItem() const { return cameraItem_; }
    const HostCameraRecord* cameraRecord() const { return &cameraRecord_; }
    // The frame every benchmark renders, with the given motion-step count.
    const FrameTiming* frameTiming(int motionSteps);

    // New frame of a loaded variant through its installed callback; false on failure.
    bool buildTable(int variant, int motionSteps);
    // New frame of the linked copy, whose table the floor reads; false on failure.
    bool buildLocalTable(int motionSteps);

  private:
    BenchWorld() = default;
    bool activateLocalCopy(std::string* error);
    void animateSettings(HostInstance instance);

    std::unique_ptr<hostsim::SimHost> host_;
    std::array<LoadedVariant, kVariants> variants_;
    HostItemId cameraItem_ = nullptr;
    HostCameraRecord cameraRecord_{};
    FrameTiming timing_{};
    // The linked copy's host records and instance.
    InstanceCallbackTable localInstances_{};
    HandlerCallbackTable localHandler_{};
    HostInstance localInstance_ = nullptr;
    bool closed_ = false;
};

// The world main opened, for the benchmarks; null outside main's run.
BenchWorld* world();
void setWorld(BenchWorld* world);

// The module files given at build time, test1 .. test3.
std::array<std::string, kVariants> builtModulePaths();

} // namespace vbench
