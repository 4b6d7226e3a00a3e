#include "panel/panel_tables.h"

#include "host/module_descriptor.h"
#include "panel/tilt_thumbnail.h"

constinit const PanelControl panelControls[PANEL_CONTROL_COUNT + 1] = {
    {PANEL_ID_ZOOM, "Zoom Factor", "float-env"},
    {PANEL_ID_FOCAL_LENGTH, "", "sInfo"},
    {PANEL_ID_H_SHIFT, "Horizontal Shift", "percent-env"},
    {PANEL_ID_V_SHIFT, "Vertical Shift", "percent-env"},
    {PANEL_ID_TILT_DIRECTION, "Direction", "angle-env"},
    {PANEL_ID_TILT_ANGLE, "Angle", "angle-env"},
    {PANEL_ID_THUMBNAIL, "", "dThumbnail"},
    {0, nullptr, nullptr},
};

constinit const PanelControl panelDataDescription[PANEL_DATA_COUNT + 1] = {
    {PANEL_ID_ZOOM, "", "float-env"},
    {PANEL_ID_FOCAL_LENGTH, "", "string"},
    {PANEL_ID_H_SHIFT, "", "percent-env"},
    {PANEL_ID_V_SHIFT, "", "percent-env"},
    {PANEL_ID_TILT_DIRECTION, "", "angle-env"},
    {PANEL_ID_TILT_ANGLE, "", "angle-env"},
    {0, nullptr, nullptr},
};

namespace {
// Hint tags of the host's panel service. The low byte counts the argument words; 0x81 marks a
// list that ends with a zero word.
constexpr std::intptr_t kHintGroup = 0x3D01FE81;
constexpr std::intptr_t kHintLabel = 0x3D000B03;
constexpr std::intptr_t kHintPanelCallback = 0x3D000F01;
constexpr std::intptr_t kHintPanelCallbackWithWord = 0x3D001302;
constexpr std::intptr_t kHintMinimum = 0x3D014002;
constexpr std::intptr_t kHintMaximum = 0x3D014102;
constexpr std::intptr_t kHintZoomSetting = 0x3D014202;
constexpr std::intptr_t kHintDrawCallback = 0x3D016502;

constexpr PanelHintWord word(std::intptr_t value) {
    return PanelHintWord{.value = value};
}
constexpr PanelHintWord text(const char* value) {
    return PanelHintWord{.text = value};
}
constexpr PanelHintWord callback(PanelEmptyFn fn) {
    return PanelHintWord{.callback = fn};
}
constexpr PanelHintWord draw(PanelDrawFn fn) {
    return PanelHintWord{.draw = fn};
}
} // namespace

constinit const PanelHintWord panelHints[PANEL_HINT_WORD_COUNT] = {
    word(kHintGroup),
    word(PANEL_GROUP_ZOOM),
    word(PANEL_ID_ZOOM),
    word(PANEL_ID_FOCAL_LENGTH),
    word(0),
    word(kHintGroup),
    word(PANEL_GROUP_SHIFT),
    word(PANEL_ID_H_SHIFT),
    word(PANEL_ID_V_SHIFT),
    word(0),
    word(kHintGroup),
    word(PANEL_GROUP_TILT),
    word(PANEL_ID_TILT_DIRECTION),
    word(PANEL_ID_TILT_ANGLE),
    word(0),
    word(kHintGroup),
    word(PANEL_GROUP_THUMBNAIL),
    word(PANEL_ID_THUMBNAIL),
    word(0),
    word(kHintLabel),
    word(PANEL_ID_PANEL),
    text(PANEL_TITLE),
    word(0),
    word(kHintPanelCallback),
    callback(moduleShutdown),
    word(kHintPanelCallbackWithWord),
    callback(moduleShutdown),
    word(0),
    word(kHintMinimum),
    word(PANEL_ID_ZOOM),
    word(0),
    word(kHintZoomSetting),
    word(PANEL_ID_ZOOM),
    word(1),
    word(kHintMinimum),
    word(PANEL_ID_H_SHIFT),
    word(-1000),
    word(kHintMaximum),
    word(PANEL_ID_H_SHIFT),
    word(1000),
    word(kHintMinimum),
    word(PANEL_ID_V_SHIFT),
    word(-1000),
    word(kHintMaximum),
    word(PANEL_ID_V_SHIFT),
    word(1000),
    word(kHintMinimum),
    word(PANEL_ID_TILT_DIRECTION),
    word(-360),
    word(kHintMaximum),
    word(PANEL_ID_TILT_DIRECTION),
    word(360),
    word(kHintMinimum),
    word(PANEL_ID_TILT_ANGLE),
    word(-90),
    word(kHintMaximum),
    word(PANEL_ID_TILT_ANGLE),
    word(90),
    word(kHintDrawCallback),
    word(PANEL_ID_THUMBNAIL),
    draw(drawTiltThumbnail),
    word(0),
};
