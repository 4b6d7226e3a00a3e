// Builds the settings panel of one instance through "LWXPanel".
#pragma once

#include "host/host_records.h"

// Fills record->panel (and nulls bytes 8 and 12) with a new panel for record->instance. When
// the host creates no panel the record is left as it was.
void buildSettingsPanel(InterfaceRecord* record);
