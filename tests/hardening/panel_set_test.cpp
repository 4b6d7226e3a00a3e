// The panel's set callback given no value (a null address): it must take nothing and change
// nothing, for every id. (Found by fuzzing: it copied from the null address.)
#include <cstring>

#include "panel/panel_tables.h"
#include "panel/panel_values.h"
#include "support/camera_host.h"

namespace {

using namespace camtest;

class PanelSetWithoutValueTest : public CameraHostTest {};

TEST_F(PanelSetWithoutValueTest, ChangesNothingAndReportsZero) {
    activate();
    CameraInstance* camera = createCamera(host.cameras().addCamera());
    setSettings(camera, CameraSettings{2.5, 0.1, -0.2, 0.3, 0.4});
    camera->zoomFactor = 2.5;
    const std::uint32_t ids[] = {
        PANEL_ID_ZOOM,           PANEL_ID_FOCAL_LENGTH, PANEL_ID_H_SHIFT,   PANEL_ID_V_SHIFT,
        PANEL_ID_TILT_DIRECTION, PANEL_ID_TILT_ANGLE,   PANEL_ID_THUMBNAIL, 0xFFFFFFFFu};
    for (std::uint32_t id : ids) {
        SCOPED_TRACE(id);
        CameraInstance before;
        std::memcpy(&before, camera, sizeof before);
        EXPECT_EQ(0, panelSet(camera, id, nullptr));
        EXPECT_EQ(0, std::memcmp(&before, camera, sizeof before));
    }
    // With a value the same call stores it, so the refusal above is the null address's alone.
    const double angle = 0.7;
    EXPECT_EQ(1, panelSet(camera, PANEL_ID_TILT_ANGLE, &angle));
    EXPECT_EQ(0.7, camera->tiltAngle);
}

} // namespace
