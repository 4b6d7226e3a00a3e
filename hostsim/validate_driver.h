// The host's side of the validate command's callback and stress groups: the module's handler
// callbacks called as the host calls them (through the tables the module filled, with the host's
// stack alignment), with every record the module writes guarded, and the channels of an
// instance found as the host's panel finds them.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "host/host_records.h"
#include "hostsim/module_session.h"

namespace hostsim::validate {

// The panel ids of the five animated parameters: zoom, shifts, tilt direction, tilt angle.
inline constexpr std::array<std::uint32_t, 5> kParameterControls = {0x8001, 0x8003, 0x8004, 0x8005,
                                                                    0x8006};
inline constexpr std::uint32_t kFocalLengthControl = 0x8002;
inline constexpr std::uint32_t kThumbnailControl = 0x8007;

struct RayResult {
    int result = -1;
    RayRecord ray{};
    bool recordUntouched = false; // every byte as before the call
    bool guardsIntact = false;
};

class CameraDriver {
  public:
    explicit CameraDriver(ModuleSession& session);

    ModuleSession& session() { return session_; }
    SimHost& host() { return session_.host(); }
    // 1, 2 or 3 from the module's server name; 0 when unknown.
    int buildVariant() const { return variant_; }

    // An instance for a new camera item, or null with the module's message in *error.
    HostInstance create(HostItemId* item, std::string* error);
    void destroy(HostInstance instance);
    HostError copy(HostInstance destination, HostInstance source);
    const char* describe(HostInstance instance);
    unsigned flags(HostInstance instance);
    // The new-frame callback's result; *damage names a record written outside (or "").
    HostError newFrame(HostInstance instance, HostItemId item, double start, double duration,
                       int motionSteps, double filmWidth, double filmHeight, std::string* damage);
    RayResult ray(HostInstance instance, double filmX, double filmY, double lensX, double lensY,
                  double fraction);
    // The preview callback's result; *finite tells whether the matrix has only finite numbers.
    int preview(HostInstance instance, HostItemId item, double lensX, double lensY,
                double filmWidth, double filmHeight, bool* finite, std::string* damage);
    // Saves into a scene file and loads from it; the callbacks' results.
    HostError save(HostInstance instance, const std::string& path);
    HostError load(HostInstance instance, const std::string& path, int floatsDelivered = -1);

  private:
    ModuleSession& session_;
    const HandlerCallbackTable& handler_;
    const InstanceCallbackTable& instances_;
    int variant_ = 0;
};

// Where the validate command may put scratch scene files.
std::string scratchPath(const std::string& name);

} // namespace hostsim::validate
