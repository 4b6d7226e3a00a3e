// The built-in scene and the camera that looks at it, chosen to show what a view camera does:
// a row of spheres receding along +z (tilt can lay the plane of focus along it for the
// "miniature" look), and a tall striped tower whose verticals converge when the camera pitches
// up and stay parallel when the film is shifted up instead.
#pragma once

#include "hostsim/render/scene.h"

namespace hostsim::render {

Scene defaultScene();

// Where the render command puts the host's camera item for the default scene, and what it
// reports as the camera's film, zoom, focus and aperture. Lengths in metres, angles in radians.
struct DefaultCamera {
    DVec3 position; // standing on the ground at eye height
    double heading; // about +y; 0 looks along +z, down the row
    double pitchUp; // positive raises the view; 0 for the level camera
    double bank;
    double filmWidth; // full-frame 36 x 24 mm
    double filmHeight;
    double zoomFactor;    // focal length = filmHeight * zoomFactor / 2
    double focusDistance; // onto the middle of the row
    double fStop;         // wide open, so depth of field shows at preview sizes
    int imageWidth;       // matches the film's 3:2, square pixels
    int imageHeight;

    // "Converging verticals": pitch the level camera up by this much to get the whole tower in.
    double convergingPitchUp;
    // "Parallel verticals": keep the camera level and raise the film by this fraction of the
    // film height instead (in whichever sign the module's vertical shift moves the view up).
    double parallelVerticalShift;

    double focalLength() const { return filmHeight * zoomFactor * 0.5; }
};

DefaultCamera defaultCamera();

// Layout of the default scene, for tests and for framing the camera.
namespace layout {
inline constexpr int rowCount = 14;
inline constexpr double rowX = 2.0; // the row runs to the right of the optical axis
inline constexpr double rowFirstZ = 6.0;
inline constexpr double rowSpacing = 2.0;
inline constexpr double rowRadius = 0.4;
inline constexpr double towerCentreX = -5.0;
inline constexpr double towerCentreZ = 30.0;
inline constexpr double towerWidth = 2.0;
inline constexpr double towerHeight = 15.0;
} // namespace layout

} // namespace hostsim::render
