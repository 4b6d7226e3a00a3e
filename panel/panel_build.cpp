#include "panel/panel_build.h"

#include "host/host_services.h"
#include "panel/panel_tables.h"
#include "panel/panel_values.h"

void buildSettingsPanel(InterfaceRecord* record) {
    const XPanelFuncs* xpanel = hostServices.xpanelFuncs;
    HostInstance instance = record->instance;
    XPanel panel = xpanel->create(PANEL_KIND_FORM, panelControls);
    if (panel == nullptr) {
        return;
    }
    xpanel->describe(panel, panelDataDescription, panelGet, panelSet);
    xpanel->hint(panel, PANEL_ID_PANEL, panelHints);
    // The panel hands the instance to get and set as their first argument, and to the
    // thumbnail through its user data.
    xpanel->viewInstance(panel, instance);
    xpanel->setUserData(panel, PANEL_ID_PANEL, instance);
    record->panel = panel;
    record->hostWord8 = nullptr;
    record->hostWord12 = nullptr;
}
