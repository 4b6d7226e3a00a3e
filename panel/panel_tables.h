// The settings panel as the host's declarative "LWXPanel" service takes it: three constant
// tables and the ids that tie them together.
#pragma once

#include "host/service_tables.h"

enum PanelControlId : std::uint32_t {
    PANEL_ID_PANEL = 0, // the panel as a whole
    PANEL_ID_ZOOM = 0x8001,
    PANEL_ID_FOCAL_LENGTH = 0x8002,
    PANEL_ID_H_SHIFT = 0x8003,
    PANEL_ID_V_SHIFT = 0x8004,
    PANEL_ID_TILT_DIRECTION = 0x8005,
    PANEL_ID_TILT_ANGLE = 0x8006,
    PANEL_ID_THUMBNAIL = 0x8007,
    PANEL_GROUP_ZOOM = 0x8008,
    PANEL_GROUP_SHIFT = 0x8009,
    PANEL_GROUP_TILT = 0x800A,
    PANEL_GROUP_THUMBNAIL = 0x800B,
};

#define PANEL_TITLE "Vellary Camera"
#define PANEL_KIND_FORM 1

#define PANEL_CONTROL_COUNT 7
#define PANEL_DATA_COUNT 6
#define PANEL_HINT_WORD_COUNT 62

extern const PanelControl panelControls[PANEL_CONTROL_COUNT + 1];
extern const PanelControl panelDataDescription[PANEL_DATA_COUNT + 1];
extern const PanelHintWord panelHints[PANEL_HINT_WORD_COUNT];
