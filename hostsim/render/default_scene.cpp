#include "hostsim/render/default_scene.h"

#include <cmath>

namespace hostsim::render {
namespace {

DVec3 unitVector(DVec3 v) {
    return scale(v, 1.0 / length(v));
}

std::vector<Sphere> sphereRow() {
    // Alternating warm and cool spheres, so each one stands apart from its neighbours when
    // they blur into each other out of focus.
    const Rgb warm{0.75, 0.22, 0.12};
    const Rgb cool{0.12, 0.35, 0.70};
    std::vector<Sphere> row;
    for (int i = 0; i < layout::rowCount; ++i) {
        const double z = layout::rowFirstZ + layout::rowSpacing * i;
        row.push_back(
            {{layout::rowX, layout::rowRadius, z}, layout::rowRadius, i % 2 == 0 ? warm : cool});
    }
    return row;
}

Box tower() {
    const double half = layout::towerWidth * 0.5;
    return {{layout::towerCentreX - half, 0.0, layout::towerCentreZ - half},
            {layout::towerCentreX + half, layout::towerHeight, layout::towerCentreZ + half},
            {0.80, 0.78, 0.72},
            {0.25, 0.25, 0.28},
            0.25};
}

} // namespace

Scene defaultScene() {
    Scene scene;
    scene.groundY = 0.0;
    scene.checkerSize = 1.0;
    scene.groundLight = {0.70, 0.70, 0.66};
    scene.groundDark = {0.22, 0.24, 0.22};
    scene.spheres = sphereRow();
    scene.boxes = {tower()};
    // Sun high behind the camera's left shoulder: the tower's front face is lit, the side
    // facing the camera is in shade, so its vertical edges read clearly.
    scene.towardsSun = unitVector({-0.45, 0.80, -0.40});
    scene.sunColour = {0.95, 0.90, 0.80};
    scene.ambientColour = {0.20, 0.22, 0.26};
    scene.castShadows = true;
    scene.skyHorizon = {0.78, 0.85, 0.92};
    scene.skyZenith = {0.20, 0.40, 0.78};
    scene.hazeDistance = 150.0;
    return scene;
}

DefaultCamera defaultCamera() {
    DefaultCamera camera{};
    camera.position = {0.0, 1.6, 0.0};
    camera.heading = 0.0;
    camera.pitchUp = 0.0;
    camera.bank = 0.0;
    camera.filmWidth = 0.036;
    camera.filmHeight = 0.024;
    camera.zoomFactor = 3.2; // 38.4 mm on this film
    camera.focusDistance = layout::rowFirstZ + layout::rowSpacing * (layout::rowCount / 2);
    camera.fStop = 1.4;
    camera.imageWidth = 600;
    camera.imageHeight = 400;
    // The tower spans about 3 degrees below to 24 degrees above the horizon from the eye; the
    // level view covers +-17.4 degrees vertically. A pitch of 0.2 rad (11.5 degrees) frames it,
    // as does a shift of 0.4 film heights with the camera level.
    camera.convergingPitchUp = 0.2;
    camera.parallelVerticalShift = 0.4;
    return camera;
}

} // namespace hostsim::render
