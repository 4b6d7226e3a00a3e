// The settings panel part of a fuzz session: interface activation, the host's panel reading and
// writing the controls, the module's get and set called with any id and value, and the tilt
// thumbnail drawn with any tilt.
#include <cmath>
#include <cstring>

#include "fuzz/camera_fuzz_session.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/record_snapshot.h"
#include "host/activation.h"
#include "host/host_services.h"
#include "panel/panel_tables.h"
#include "panel/panel_values.h"
#include "panel/tilt_thumbnail.h"

namespace vellary_fuzz {

namespace {

constexpr std::size_t kMaxPanels = 3;
constexpr const char* kReadoutPrefix = "Focal Length ";
// The marker's corner stays where part of the 5 x 5 box shows in the 100 x 100 area.
constexpr int kMarkerMin = -4;
constexpr int kMarkerMax = 99;

// The instance's field and channel behind each parameter control, written out here rather than
// taken from the panel code so that a wrong mapping there shows up as a failed check.
struct ParameterControl {
    std::uint32_t id;
    double CameraInstance::*value;
    ParamChannel CameraInstance::*channel;
};

constexpr ParameterControl kParameterControls[] = {
    {PANEL_ID_ZOOM, &CameraInstance::zoomFactor, &CameraInstance::zoomChannel},
    {PANEL_ID_H_SHIFT, &CameraInstance::hShift, &CameraInstance::hShiftChannel},
    {PANEL_ID_V_SHIFT, &CameraInstance::vShift, &CameraInstance::vShiftChannel},
    {PANEL_ID_TILT_DIRECTION, &CameraInstance::tiltDirection,
     &CameraInstance::tiltDirectionChannel},
    {PANEL_ID_TILT_ANGLE, &CameraInstance::tiltAngle, &CameraInstance::tiltAngleChannel},
};

// The parameter control of this id, or null for any other id.
const ParameterControl* parameterControl(std::uint32_t id) {
    for (const ParameterControl& control : kParameterControls) {
        if (control.id == id) {
            return &control;
        }
    }
    return nullptr;
}

void checkReadout(const char* text) {
    FUZZ_CHECK(text != nullptr, "the focal-length read-out is null");
    const std::size_t length = strnlen(text, CAMERA_INFO_TEXT_SIZE);
    FUZZ_CHECK(length < CAMERA_INFO_TEXT_SIZE, "the read-out is not terminated within its field");
    FUZZ_CHECK(std::strncmp(text, kReadoutPrefix, std::strlen(kReadoutPrefix)) == 0,
               "the read-out is \"%s\"", text);
}

void checkMarker(ThumbnailMarker marker, double tiltAngle, double tiltDirection) {
    FUZZ_CHECK(marker.x >= kMarkerMin && marker.x <= kMarkerMax && marker.y >= kMarkerMin &&
                   marker.y <= kMarkerMax,
               "tilt %g towards %g puts the marker at (%d, %d)", tiltAngle, tiltDirection, marker.x,
               marker.y);
}

} // namespace

void CameraFuzzSession::openPanel() {
    LiveInstance* live = pickLive();
    if (live == nullptr || openPanels_.size() >= kMaxPanels) {
        return;
    }
    const bool xpanelThere = host_->findService(SERVICE_XPANEL) != nullptr;
    const bool createFails = input_.byte() < 32;
    panels_->setCreateFails(createFails);
    const int version = input_.byte() < 240 ? INTERFACE_VERSION : input_.int32();
    hostsim::GuardedRecord<InterfaceRecord> record("InterfaceRecord", 1, 0xCD);
    record->instance = live->instance;
    const RecordSnapshot<InterfaceRecord> before(*record);

    const int result = activateInterface(version, host_->globalLookup(), record.get(), nullptr);
    panels_->setCreateFails(false);

    FUZZ_CHECK(record.check(), "write outside the InterfaceRecord");
    const int expected = version != INTERFACE_VERSION
                             ? ACTIVATION_BAD_VERSION
                             : (xpanelThere ? ACTIVATION_OK : ACTIVATION_NO_SERVICE);
    FUZZ_CHECK(result == expected, "interface activation gave %d, expected %d", result, expected);
    if (result != ACTIVATION_OK || createFails) {
        FUZZ_CHECK(before.unchanged(*record),
                   "interface activation wrote the record without making a panel");
        return;
    }
    interfaceActive_ = true;
    FUZZ_CHECK(record->instance == live->instance && record->panel != nullptr &&
                   panels_->knows(record->panel) && record->hostWord8 == nullptr &&
                   record->hostWord12 == nullptr,
               "interface activation filled the record wrongly");
    openPanels_.push_back(LivePanel{record->panel, live->instance});
}

void CameraFuzzSession::closePanel() {
    if (openPanels_.empty()) {
        return;
    }
    const std::size_t which = input_.index(openPanels_.size());
    panels_->destroyPanel(openPanels_[which].panel);
    openPanels_.erase(openPanels_.begin() + static_cast<std::ptrdiff_t>(which));
}

void CameraFuzzSession::panelValues() {
    if (openPanels_.empty()) {
        return;
    }
    const LivePanel open = openPanels_[input_.index(openPanels_.size())];
    CameraInstance& camera = *static_cast<CameraInstance*>(open.instance);
    if (input_.flag()) {
        // The host's panel: only the panel's own controls, values as doubles.
        const std::uint32_t id = PANEL_ID_ZOOM + static_cast<std::uint32_t>(input_.index(6));
        const double value = input_.hostileDouble();
        if (input_.flag()) {
            const std::optional<int> stored = panels_->writeControl(open.panel, id, value);
            FUZZ_CHECK(stored.has_value(), "the host could not write control %#x", id);
            const ParameterControl* control = parameterControl(id);
            FUZZ_CHECK(*stored == (control != nullptr ? 1 : 0), "set of %#x gave %d", id, *stored);
            if (control != nullptr) {
                FUZZ_CHECK(std::memcmp(&(camera.*control->value), &value, sizeof value) == 0,
                           "set of %#x did not store its value", id);
            }
        } else if (id == PANEL_ID_FOCAL_LENGTH) {
            const std::optional<std::string> text = panels_->readControlText(open.panel, id);
            FUZZ_CHECK(text.has_value(), "the read-out could not be read");
            checkReadout(text->c_str());
        } else {
            // Ids from the zoom on that are not the read-out are the five parameters.
            const std::optional<void*> read = panels_->readControl(open.panel, id);
            FUZZ_CHECK(read.has_value() && *read == camera.*parameterControl(id)->channel,
                       "get of %#x is not the instance's channel", id);
        }
        return;
    }
    // The module's callbacks as a careless host may call them: any id, any value, no value.
    const std::uint32_t id = input_.panelId();
    if (input_.flag()) {
        void* value = panelGet(open.instance, id);
        if (id == PANEL_ID_FOCAL_LENGTH) {
            checkReadout(static_cast<const char*>(value));
        } else if (const ParameterControl* control = parameterControl(id)) {
            FUZZ_CHECK(value == camera.*control->channel, "get of %#x", id);
        } else {
            FUZZ_CHECK(value == nullptr, "get of the unknown id %#x gave a value", id);
        }
        return;
    }
    const double value = input_.hostileDouble();
    const bool noValue = input_.byte() < 16;
    const CameraInstance before = camera;
    const int stored = panelSet(open.instance, id, noValue ? nullptr : &value);
    const ParameterControl* control = parameterControl(id);
    if (control != nullptr && !noValue) {
        FUZZ_CHECK(stored == 1, "set of %#x gave %d", id, stored);
        FUZZ_CHECK(std::memcmp(&(camera.*control->value), &value, sizeof value) == 0,
                   "set of %#x did not store its value", id);
    } else {
        FUZZ_CHECK(stored == 0, "set of %#x without a value to take gave %d", id, stored);
        FUZZ_CHECK(std::memcmp(&before, &camera, sizeof camera) == 0,
                   "set of %#x without a value to take changed the instance", id);
    }
}

void CameraFuzzSession::drawThumbnail() {
    // The marker's place for any tilt, with the module's own pi and with broken ones.
    const double angle = input_.hostileDouble();
    const double direction = input_.hostileDouble();
    const double pi = input_.flag() ? 4.0 * std::atan(1.0) : input_.hostileDouble();
    checkMarker(thumbnailMarkerCorner(angle, direction, pi), angle, direction);

    if (openPanels_.empty()) {
        return;
    }
    const LivePanel open = openPanels_[input_.index(openPanels_.size())];
    CameraInstance& camera = *static_cast<CameraInstance*>(open.instance);
    camera.tiltAngle = angle;
    camera.tiltDirection = direction;
    host_->log().clear();
    host_->log().setRecording(true);
    const std::optional<hostsim::RgbImage> image =
        panels_->drawControl(open.panel, PANEL_ID_THUMBNAIL);
    host_->log().setRecording(false);
    FUZZ_CHECK(image.has_value(), "the thumbnail could not be drawn");
    // The marker is the last box drawn, in its own red.
    bool markerDrawn = false;
    for (const hostsim::HostCall& call : host_->log().calls()) {
        if (call.service == "drawing" && call.operation == "box" && call.arguments.size() == 8 &&
            call.arguments[1] == "255" && call.arguments[2] == "100" &&
            call.arguments[3] == "100") {
            markerDrawn = true;
            checkMarker(ThumbnailMarker{std::stoi(call.arguments[4]), std::stoi(call.arguments[5])},
                        angle, direction);
        }
    }
    FUZZ_CHECK(markerDrawn, "the thumbnail has no marker");
    host_->log().clear();
}

} // namespace vellary_fuzz
