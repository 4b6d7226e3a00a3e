#include "hostsim/xpanel_service.h"

#include <cstdio>
#include <cstring>

#include "hostsim/misaligned_call.h"
#include "hostsim/sim_host.h"

namespace hostsim {

namespace {

XPanelService* activeService = nullptr;

// Panel and drawing-area tokens: a kind nibble above a running number, never an address.
constexpr std::uint32_t kPanelTokenKind = 0xA0000000u;
constexpr std::uint32_t kAreaTokenKind = 0xB0000000u;
constexpr std::uint32_t kTokenNumberMask = 0x000FFFFFu;
// A control table longer than this is taken as one without its ending row.
constexpr std::size_t kMaxPanelRows = 256;
// Hint arrays are read at most this far when looking for the ending zero word.
constexpr std::size_t kMaxHintWords = 4096;
constexpr std::size_t kMaxControlText = 4096;

std::uintptr_t makeToken(std::uint32_t kind, std::uint32_t number) {
    return kind | number;
}

std::optional<std::uint32_t> tokenNumber(std::uintptr_t token, std::uint32_t kind) {
    if (token > 0xFFFFFFFFu || (token & ~static_cast<std::uintptr_t>(kTokenNumberMask)) != kind) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(token & kTokenNumberMask);
}

std::string tokenText(std::uintptr_t token, std::uint32_t kind, const char* name) {
    if (token == 0) {
        return "null";
    }
    if (auto number = tokenNumber(token, kind)) {
        return std::string(name) + "#" + std::to_string(*number);
    }
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(token));
    return text;
}

std::string hexText(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

template <class Fn> std::string functionText(Fn function) {
    return pointerText(reinterpret_cast<const void*>(function));
}

// The table's entry points. They carry no context: they reach the active service.
XPanelService* service() {
    return activeService;
}

XPanel HOSTCALL panelCreate(int kind, const PanelControl* controls) {
    return service() != nullptr ? service()->onCreate(kind, controls) : nullptr;
}
void HOSTCALL panelDescribe(XPanel panel, const PanelControl* data, PanelGetFn get,
                            PanelSetFn set) {
    if (service() != nullptr) {
        service()->onDescribe(panel, data, get, set);
    }
}
void HOSTCALL panelHint(XPanel panel, std::uint32_t id, const PanelHintWord* hints) {
    if (service() != nullptr) {
        service()->onHint(panel, id, hints);
    }
}
void* HOSTCALL panelGetUserData(XPanel panel, std::uint32_t id) {
    return service() != nullptr ? service()->onGetUserData(panel, id) : nullptr;
}
void HOSTCALL panelSetUserData(XPanel panel, std::uint32_t id, void* data) {
    if (service() != nullptr) {
        service()->onSetUserData(panel, id, data);
    }
}
void HOSTCALL panelViewInstance(XPanel panel, HostInstance instance) {
    if (service() != nullptr) {
        service()->onViewInstance(panel, instance);
    }
}
void HOSTCALL drawLine(DrawArea area, std::uint32_t colour, int x1, int y1, int x2, int y2) {
    if (service() != nullptr) {
        service()->onLine(area, colour, x1, y1, x2, y2);
    }
}
void HOSTCALL drawBox(DrawArea area, int red, int green, int blue, int x, int y, int width,
                      int height) {
    if (service() != nullptr) {
        service()->onBox(area, red, green, blue, x, y, width, height);
    }
}

// Slots the module has no business calling. They take no parameters, which is safe for any
// call under cdecl (the caller removes its arguments), and report which slot was hit.
template <int Offset> void HOSTCALL unprovidedPanelSlot() {
    if (service() != nullptr) {
        service()->onUnprovidedSlot("LWXPanel", Offset);
    }
}
template <int Offset> void HOSTCALL unprovidedDrawSlot() {
    if (service() != nullptr) {
        service()->onUnprovidedSlot("drawing", Offset);
    }
}
template <int Offset> void* unprovided(bool drawing) {
    return drawing ? reinterpret_cast<void*>(&unprovidedDrawSlot<Offset>)
                   : reinterpret_cast<void*>(&unprovidedPanelSlot<Offset>);
}

std::uint8_t colourComponent(int value) {
    return static_cast<std::uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

} // namespace

XPanelService::XPanelService(SimHost& host) : host_(host) {
    drawTable_.hostSlots[0] = unprovided<0>(true);
    drawTable_.hostSlots[1] = unprovided<4>(true);
    drawTable_.line = drawLine;
    drawTable_.hostSlot12 = unprovided<12>(true);
    drawTable_.box = drawBox;

    table_.hostSlot0 = unprovided<0>(false);
    table_.drawFuncs = &drawTable_;
    table_.create = panelCreate;
    table_.hostSlot12 = unprovided<12>(false);
    table_.describe = panelDescribe;
    table_.hint = panelHint;
    table_.getUserData = panelGetUserData;
    table_.setUserData = panelSetUserData;
    table_.hostSlots32[0] = unprovided<32>(false);
    table_.hostSlots32[1] = unprovided<36>(false);
    table_.viewInstance = panelViewInstance;

    activeService = this;
    host_.provideService(SERVICE_XPANEL, &table_);
}

XPanelService::~XPanelService() {
    if (activeService == this) {
        activeService = nullptr;
    }
    if (SimHost::current() == &host_) {
        host_.provideService(SERVICE_XPANEL, nullptr);
    }
}

XPanelService* XPanelService::current() {
    return activeService;
}

void XPanelService::record(const char* service, const char* operation,
                           std::vector<std::string> arguments) {
    host_.log().record(service, operation, std::move(arguments));
}

void XPanelService::violation(const std::string& what) {
    host_.violations().report(what);
}

std::string XPanelService::panelText(XPanel panel) const {
    return tokenText(reinterpret_cast<std::uintptr_t>(panel), kPanelTokenKind, "panel");
}

std::string XPanelService::areaText(DrawArea area) const {
    return tokenText(reinterpret_cast<std::uintptr_t>(area), kAreaTokenKind, "area");
}

const XPanelService::Panel* XPanelService::peek(XPanel panel) const {
    auto number = tokenNumber(reinterpret_cast<std::uintptr_t>(panel), kPanelTokenKind);
    if (!number) {
        return nullptr;
    }
    auto it = panels_.find(*number);
    return it != panels_.end() ? &it->second : nullptr;
}

XPanelService::Panel* XPanelService::find(XPanel panel, const char* operation) {
    const Panel* state = peek(panel);
    if (state == nullptr) {
        violation(std::string("LWXPanel ") + operation + " on an unknown panel " +
                  panelText(panel));
        return nullptr;
    }
    return const_cast<Panel*>(state);
}

// Copies rows up to the row of three zero words. Each row's texts must be real texts: the host
// shows them, and a null label is not an empty one.
bool XPanelService::readRows(const PanelControl* rows, const char* what,
                             std::vector<PanelRow>* out) {
    if (rows == nullptr) {
        violation(std::string("LWXPanel: null ") + what);
        return false;
    }
    for (std::size_t i = 0; i < kMaxPanelRows; ++i) {
        const PanelControl& row = rows[i];
        if (row.id == 0 && row.label == nullptr && row.type == nullptr) {
            return true;
        }
        if (row.label == nullptr || row.type == nullptr) {
            violation(std::string("LWXPanel: ") + what + " row " + std::to_string(i) + " (id " +
                      hexText(row.id) + ") has a null text");
            return false;
        }
        out->push_back(PanelRow{row.id, row.label, row.type});
    }
    violation(std::string("LWXPanel: ") + what + " without its ending zero row within " +
              std::to_string(kMaxPanelRows) + " rows");
    return false;
}

XPanel XPanelService::onCreate(int kind, const PanelControl* controls) {
    record("LWXPanel", "create", {std::to_string(kind), pointerText(controls)});
    Panel state;
    state.kind = kind;
    if (!readRows(controls, "control table", &state.controls) || createFails_) {
        return nullptr;
    }
    if (nextPanel_ > kTokenNumberMask) {
        violation("LWXPanel: out of panel handles");
        return nullptr;
    }
    const std::uint32_t number = nextPanel_++;
    panels_[number] = std::move(state);
    return reinterpret_cast<XPanel>(makeToken(kPanelTokenKind, number));
}

void XPanelService::onDescribe(XPanel panel, const PanelControl* data, PanelGetFn get,
                               PanelSetFn set) {
    record("LWXPanel", "describe",
           {panelText(panel), pointerText(data), functionText(get), functionText(set)});
    Panel* state = find(panel, "describe");
    if (state == nullptr) {
        return;
    }
    std::vector<PanelRow> rows;
    if (!readRows(data, "data description", &rows)) {
        return;
    }
    state->data = std::move(rows);
    state->get = get;
    state->set = set;
    state->described = true;
}

void XPanelService::onHint(XPanel panel, std::uint32_t id, const PanelHintWord* hints) {
    record("LWXPanel", "hint", {panelText(panel), hexText(id), pointerText(hints)});
    Panel* state = find(panel, "hint");
    if (state == nullptr) {
        return;
    }
    ParsedHints parsed;
    std::string error;
    if (!parsePanelHints(hints, kMaxHintWords, &parsed, &error)) {
        violation("LWXPanel hint on " + panelText(panel) + ": " + error);
    }
    mergePanelHints(&state->hints, parsed); // what parsed before a fault still counts
}

void* XPanelService::onGetUserData(XPanel panel, std::uint32_t id) {
    record("LWXPanel", "getUserData", {panelText(panel), hexText(id)});
    Panel* state = find(panel, "getUserData");
    if (state == nullptr) {
        return nullptr;
    }
    auto it = state->userData.find(id);
    return it != state->userData.end() ? it->second : nullptr;
}

void XPanelService::onSetUserData(XPanel panel, std::uint32_t id, void* data) {
    record("LWXPanel", "setUserData", {panelText(panel), hexText(id), pointerText(data)});
    if (Panel* state = find(panel, "setUserData")) {
        state->userData[id] = data;
    }
}

void XPanelService::onViewInstance(XPanel panel, HostInstance instance) {
    record("LWXPanel", "viewInstance", {panelText(panel), pointerText(instance)});
    if (Panel* state = find(panel, "viewInstance")) {
        state->viewInstance = instance;
        state->hasView = true;
    }
}

DrawRaster* XPanelService::drawingOf(DrawArea area, const char* operation) {
    auto number = tokenNumber(reinterpret_cast<std::uintptr_t>(area), kAreaTokenKind);
    auto it = number ? drawings_.find(*number) : drawings_.end();
    if (it == drawings_.end()) {
        violation(std::string("drawing ") + operation + " on " + areaText(area) +
                  ", which is not a drawing in progress");
        return nullptr;
    }
    return it->second.get();
}

void XPanelService::onLine(DrawArea area, std::uint32_t colour, int x1, int y1, int x2, int y2) {
    record("drawing", "line",
           {areaText(area), hexText(colour), std::to_string(x1), std::to_string(y1),
            std::to_string(x2), std::to_string(y2)});
    if (DrawRaster* raster = drawingOf(area, "line")) {
        raster->line(colourFromWord(colour), x1, y1, x2, y2);
    }
}

void XPanelService::onBox(DrawArea area, int red, int green, int blue, int x, int y, int width,
                          int height) {
    record("drawing", "box",
           {areaText(area), std::to_string(red), std::to_string(green), std::to_string(blue),
            std::to_string(x), std::to_string(y), std::to_string(width), std::to_string(height)});
    DrawRaster* raster = drawingOf(area, "box");
    if (raster == nullptr) {
        return;
    }
    for (int component : {red, green, blue}) {
        if (component < 0 || component > 255) {
            violation("drawing box with colour component " + std::to_string(component) +
                      " outside 0..255");
            break;
        }
    }
    raster->box(Rgb{colourComponent(red), colourComponent(green), colourComponent(blue)}, x, y,
                width, height);
}

void XPanelService::onUnprovidedSlot(const char* table, int byteOffset) {
    record(table, "unprovided", {std::to_string(byteOffset)});
    violation(std::string(table) + " slot at byte " + std::to_string(byteOffset) +
              " called; the stand-in host doesn't provide it");
}

bool XPanelService::knows(XPanel panel) const {
    return peek(panel) != nullptr;
}

std::vector<XPanel> XPanelService::panels() const {
    std::vector<XPanel> result;
    for (const auto& entry : panels_) {
        result.push_back(reinterpret_cast<XPanel>(makeToken(kPanelTokenKind, entry.first)));
    }
    return result;
}

int XPanelService::kind(XPanel panel) const {
    const Panel* state = peek(panel);
    return state != nullptr ? state->kind : -1;
}

std::vector<PanelRow> XPanelService::controls(XPanel panel) const {
    const Panel* state = peek(panel);
    return state != nullptr ? state->controls : std::vector<PanelRow>{};
}

std::vector<PanelRow> XPanelService::dataDescription(XPanel panel) const {
    const Panel* state = peek(panel);
    return state != nullptr ? state->data : std::vector<PanelRow>{};
}

const ParsedHints* XPanelService::hints(XPanel panel) const {
    const Panel* state = peek(panel);
    return state != nullptr ? &state->hints : nullptr;
}

std::string XPanelService::title(XPanel panel) const {
    const Panel* state = peek(panel);
    if (state == nullptr) {
        return {};
    }
    auto it = state->hints.labels.find(0);
    return it != state->hints.labels.end() ? it->second : std::string{};
}

PanelLimits XPanelService::limits(XPanel panel, std::uint32_t id) const {
    PanelLimits limits;
    const Panel* state = peek(panel);
    if (state == nullptr) {
        return limits;
    }
    if (auto it = state->hints.minimums.find(id); it != state->hints.minimums.end()) {
        limits.minimum = it->second;
    }
    if (auto it = state->hints.maximums.find(id); it != state->hints.maximums.end()) {
        limits.maximum = it->second;
    }
    return limits;
}

HostInstance XPanelService::viewInstance(XPanel panel) const {
    const Panel* state = peek(panel);
    return state != nullptr ? state->viewInstance : nullptr;
}

void* XPanelService::userData(XPanel panel, std::uint32_t id) const {
    const Panel* state = peek(panel);
    if (state == nullptr) {
        return nullptr;
    }
    auto it = state->userData.find(id);
    return it != state->userData.end() ? it->second : nullptr;
}

// The host only exchanges values of controls that are both in the control table and in the
// data description, once the panel has its callbacks and a view instance.
bool XPanelService::controlReady(Panel* state, XPanel panel, std::uint32_t id,
                                 const char* operation) {
    auto listed = [id](const std::vector<PanelRow>& rows) {
        for (const PanelRow& row : rows) {
            if (row.id == id) {
                return true;
            }
        }
        return false;
    };
    std::string problem;
    if (!state->described) {
        problem = "the panel has no data description";
    } else if (!state->hasView) {
        problem = "the panel has no view instance";
    } else if (!listed(state->controls) || !listed(state->data)) {
        problem = "the control is not both a control and described data";
    }
    if (problem.empty()) {
        return true;
    }
    violation("panel " + std::string(operation) + " of " + hexText(id) + " on " + panelText(panel) +
              ": " + problem);
    return false;
}

std::optional<void*> XPanelService::readControl(XPanel panel, std::uint32_t id) {
    Panel* state = find(panel, "read");
    if (state == nullptr || !controlReady(state, panel, id, "read")) {
        return std::nullopt;
    }
    if (state->get == nullptr) {
        violation("panel read of " + hexText(id) + ": the panel has no get callback");
        return std::nullopt;
    }
    return callModule(state->get, state->viewInstance, id);
}

std::optional<std::string> XPanelService::readControlText(XPanel panel, std::uint32_t id) {
    std::optional<void*> value = readControl(panel, id);
    if (!value || *value == nullptr) {
        return std::nullopt;
    }
    const char* text = static_cast<const char*>(*value);
    std::size_t length = 0;
    while (length < kMaxControlText && text[length] != '\0') {
        ++length;
    }
    if (length == kMaxControlText) {
        violation("panel text of " + hexText(id) + " longer than " +
                  std::to_string(kMaxControlText) + " characters");
    }
    return std::string(text, length);
}

std::optional<int> XPanelService::writeControl(XPanel panel, std::uint32_t id, double value) {
    Panel* state = find(panel, "write");
    if (state == nullptr || !controlReady(state, panel, id, "write")) {
        return std::nullopt;
    }
    if (state->set == nullptr) {
        violation("panel write of " + hexText(id) + ": the panel has no set callback");
        return std::nullopt;
    }
    const double stored = value; // the callback reads the value through this address
    return callModule(state->set, state->viewInstance, id, static_cast<const void*>(&stored));
}

std::optional<RgbImage> XPanelService::drawControl(XPanel panel, std::uint32_t id) {
    Panel* state = find(panel, "draw");
    if (state == nullptr) {
        return std::nullopt;
    }
    auto it = state->hints.drawCallbacks.find(id);
    if (it == state->hints.drawCallbacks.end()) {
        violation("panel draw of " + hexText(id) + " on " + panelText(panel) +
                  ": no drawing callback registered for it");
        return std::nullopt;
    }
    const PanelDrawFn draw = it->second;
    // Areas live only for one call, so their numbers may start over, but never at 0.
    if (nextArea_ > kTokenNumberMask) {
        nextArea_ = 1;
    }
    const std::uint32_t number = nextArea_++;
    drawings_[number] = std::make_unique<DrawRaster>(kThumbnailSize, kThumbnailSize);
    const DrawArea area = reinterpret_cast<DrawArea>(makeToken(kAreaTokenKind, number));
    callModule(draw, panel, id, area, kThumbnailSize, kThumbnailSize);
    // The area is valid only during the call: the module may not keep drawing into it.
    std::unique_ptr<DrawRaster> raster = std::move(drawings_[number]);
    drawings_.erase(number);
    return raster->image();
}

void XPanelService::callPanelCallbacks(XPanel panel) {
    Panel* state = find(panel, "callbacks");
    if (state == nullptr) {
        return;
    }
    const std::vector<PanelEmptyFn> callbacks = state->hints.panelCallbacks;
    for (PanelEmptyFn callback : callbacks) {
        callModule(callback, static_cast<void*>(panel));
    }
}

void XPanelService::destroyPanel(XPanel panel) {
    auto number = tokenNumber(reinterpret_cast<std::uintptr_t>(panel), kPanelTokenKind);
    if (!number || panels_.erase(*number) == 0) {
        violation("LWXPanel destroy of an unknown panel " + panelText(panel));
    }
}

} // namespace hostsim
