// The stand-in host's "LWXPanel" service: declarative settings panels. The module hands over a
// control table, a data description with its get and set callbacks, and hints; the host keeps
// them and later reads and writes the controls through the callbacks and asks drawing controls
// to draw, as its panel would when the user opens it.
//
// Panels and drawing areas are tokens, checked on every call: an unknown panel or a drawing call
// outside a drawing is recorded as a violation and ignored. Every call the module makes is
// logged under "LWXPanel" or "drawing" with its arguments.
//
// Like the host's global lookup, the service's function table carries no context, so one
// service is active per process: the latest one constructed.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/service_tables.h"
#include "hostsim/draw_raster.h"
#include "hostsim/panel_hints.h"
#include "hostsim/png_writer.h"

namespace hostsim {

class SimHost;

// One row of a control table or data description, copied out of the module's memory.
struct PanelRow {
    std::uint32_t id = 0;
    std::string text; // the control's label or the data's name
    std::string type; // "float-env", "sInfo", "dThumbnail", ...
};

struct PanelLimits {
    std::optional<std::int32_t> minimum;
    std::optional<std::int32_t> maximum;
};

// The size of a drawing control's area, as the host lays out a thumbnail.
inline constexpr int kThumbnailSize = 100;

class XPanelService {
  public:
    // Registers the service's table with the host as "LWXPanel".
    explicit XPanelService(SimHost& host);
    ~XPanelService();
    XPanelService(const XPanelService&) = delete;
    XPanelService& operator=(const XPanelService&) = delete;

    static XPanelService* current();
    const XPanelFuncs* table() const { return &table_; }

    // Makes the next creations return null, as a host out of resources would.
    void setCreateFails(bool fails) { createFails_ = fails; }

    // What the module gave the panel. Null or empty for a panel this service doesn't know.
    bool knows(XPanel panel) const;
    std::vector<XPanel> panels() const;
    int kind(XPanel panel) const;
    std::vector<PanelRow> controls(XPanel panel) const;
    std::vector<PanelRow> dataDescription(XPanel panel) const;
    const ParsedHints* hints(XPanel panel) const;
    std::string title(XPanel panel) const; // the label hint of id 0
    PanelLimits limits(XPanel panel, std::uint32_t id) const;
    HostInstance viewInstance(XPanel panel) const;
    void* userData(XPanel panel, std::uint32_t id) const;

    // The control's value as the host panel reads it, through the module's get callback with
    // the view instance: a channel for the "-env" controls, the text's address for "sInfo".
    // Nothing when the panel, its description or the control is missing (a violation).
    std::optional<void*> readControl(XPanel panel, std::uint32_t id);
    // readControl for a text control, copied (at most 4096 characters; a null result is none).
    std::optional<std::string> readControlText(XPanel panel, std::uint32_t id);
    // Writes a value as the host panel does: set with the address of a double. The callback's
    // result, or nothing as for readControl.
    std::optional<int> writeControl(XPanel panel, std::uint32_t id, double value);
    // Draws a drawing control into a fresh 100 x 100 area with the callback its hints registered:
    // (panel, id, area, 100, 100). Nothing without such a callback.
    std::optional<RgbImage> drawControl(XPanel panel, std::uint32_t id);
    // Calls the panel's callbacks that its hints registered, each with the panel.
    void callPanelCallbacks(XPanel panel);

    // The host destroys panels when it closes them; the module never does.
    void destroyPanel(XPanel panel);

    // Entry points behind the table; public only for the C-linkage glue.
    XPanel onCreate(int kind, const PanelControl* controls);
    void onDescribe(XPanel panel, const PanelControl* data, PanelGetFn get, PanelSetFn set);
    void onHint(XPanel panel, std::uint32_t id, const PanelHintWord* hints);
    void* onGetUserData(XPanel panel, std::uint32_t id);
    void onSetUserData(XPanel panel, std::uint32_t id, void* data);
    void onViewInstance(XPanel panel, HostInstance instance);
    void onLine(DrawArea area, std::uint32_t colour, int x1, int y1, int x2, int y2);
    void onBox(DrawArea area, int red, int green, int blue, int x, int y, int width, int height);
    void onUnprovidedSlot(const char* table, int byteOffset);

  private:
    struct Panel {
        int kind = 0;
        std::vector<PanelRow> controls;
        std::vector<PanelRow> data;
        bool described = false;
        PanelGetFn get = nullptr;
        PanelSetFn set = nullptr;
        ParsedHints hints;
        HostInstance viewInstance = nullptr;
        bool hasView = false;
        std::map<std::uint32_t, void*> userData;
    };

    Panel* find(XPanel panel, const char* operation);
    const Panel* peek(XPanel panel) const;
    DrawRaster* drawingOf(DrawArea area, const char* operation);
    bool readRows(const PanelControl* rows, const char* what, std::vector<PanelRow>* out);
    bool controlReady(Panel* state, XPanel panel, std::uint32_t id, const char* operation);
    void record(const char* service, const char* operation, std::vector<std::string> arguments);
    void violation(const std::string& what);
    std::string panelText(XPanel panel) const;
    std::string areaText(DrawArea area) const;

    SimHost& host_;
    XPanelFuncs table_{};
    XPanelDrawFuncs drawTable_{};
    std::map<std::uint32_t, Panel> panels_;
    std::uint32_t nextPanel_ = 1;
    std::uint32_t nextArea_ = 1;
    std::map<std::uint32_t, std::unique_ptr<DrawRaster>> drawings_; // areas being drawn
    bool createFails_ = false;
};

} // namespace hostsim
