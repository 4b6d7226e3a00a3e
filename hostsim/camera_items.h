// Camera items of the stand-in scene, answered through "LW Item Info 4" (position and axes,
// channel group) and "LW Camera Info 5" (zoom factor, focus distance, f-stop).
//
// Every property is keyed over host time (KeyCurve: linear between keys, constant outside).
// Rotation is heading, pitch, bank in radians, applied to the item's axes in the order bank
// (about forward), pitch (about right), heading (about up):
//   unrotated: right = +x, up = +y, forward = +z;
//   heading h turns forward towards +x:  forward = (sin h, 0, cos h);
//   pitch p turns forward towards -y:    forward = (0, -sin p, cos p);
//   bank b turns right towards +y:       right = (cos b, sin b, 0).
// A test override makes one vector code return a raw vector at every time (a non-unit or
// degenerate axis, NaN), as a faulty host scene could.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "host/service_tables.h"
#include "hostsim/key_curve.h"

namespace hostsim {

class SimHost;

// Values a new camera has until the first key of the property is set.
inline constexpr double kDefaultZoomFactor = 3.2;
inline constexpr double kDefaultFocusDistance = 1.0;
inline constexpr double kDefaultFStop = 4.0;

struct HeadingPitchBank {
    double heading; // radians
    double pitch;
    double bank;
};

class CameraItems {
  public:
    explicit CameraItems(SimHost& host) : host_(host) {}

    static const ItemInfo* itemTable();     // "LW Item Info 4"
    static const CameraInfo* cameraTable(); // "LW Camera Info 5"

    // --- The test side (not logged; a handle that is not a camera of this host throws
    // std::invalid_argument) --------------------------------------------------------------------
    HostItemId addCamera(std::string name = "Camera");
    std::vector<HostItemId> cameras() const;
    ChannelGroup channelGroupOf(HostItemId item) const;
    bool isChannelGroup(ChannelGroup group) const; // one of this host's items' groups

    void setPositionKey(HostItemId item, double time, DVec3 position);
    void setRotationKey(HostItemId item, double time, HeadingPitchBank rotation);
    void setZoomFactorKey(HostItemId item, double time, double zoomFactor);
    void setFocusDistanceKey(HostItemId item, double time, double focusDistance);
    void setFStopKey(HostItemId item, double time, double fStop);
    // From now on the vector of this code (ITEM_POSITION .. ITEM_FORWARD) is `raw` at every time.
    void overrideVector(HostItemId item, int code, DVec3 raw);
    void clearOverrides(HostItemId item);

    // What the services answer, without logging: for computing expected results.
    DVec3 vectorAt(HostItemId item, int code, double time) const;
    double zoomFactorAt(HostItemId item, double time) const;
    double focusDistanceAt(HostItemId item, double time) const;
    double fStopAt(HostItemId item, double time) const;

    // --- The host side, behind the service tables ---------------------------------------------
    void vector(HostItemId item, int code, double time, DVec3* out);
    ChannelGroup channelGroup(HostItemId item);
    double zoomFactor(HostItemId item, double time);
    double focusDistance(HostItemId item, double time);
    double fStop(HostItemId item, double time);

  private:
    struct Camera {
        std::string name;
        KeyCurve position[3];
        KeyCurve rotation[3]; // heading, pitch, bank
        KeyCurve zoomFactor{kDefaultZoomFactor};
        KeyCurve focusDistance{kDefaultFocusDistance};
        KeyCurve fStop{kDefaultFStop};
        std::map<int, DVec3> overrides; // by vector code
    };

    Camera& cameraForTest(HostItemId item);
    const Camera& cameraForTest(HostItemId item) const;
    const Camera* cameraForHost(HostItemId item, const char* service, const char* operation);
    const Camera* find(HostItemId item) const;
    static DVec3 evaluateVector(const Camera& camera, int code, double time);
    double lensValue(HostItemId item, double time, const char* operation, KeyCurve Camera::*curve);

    SimHost& host_;
    mutable std::mutex mutex_;
    std::vector<Camera> cameras_; // item number n at index n - 1; group n belongs to item n
};

} // namespace hostsim
