#include "hostsim/camera_items.h"

#include <cmath>
#include <stdexcept>

#include "hostsim/handle_tokens.h"
#include "hostsim/sim_host.h"

namespace hostsim {

namespace {

// --- Rotation of the item's axes (see camera_items.h for the conventions) -----------------------

DVec3 turnByBank(DVec3 v, double bank) { // about +z, +x towards +y
    return {v.x * std::cos(bank) - v.y * std::sin(bank),
            v.x * std::sin(bank) + v.y * std::cos(bank), v.z};
}

DVec3 turnByPitch(DVec3 v, double pitch) { // about +x, +z towards -y
    return {v.x, v.y * std::cos(pitch) - v.z * std::sin(pitch),
            v.y * std::sin(pitch) + v.z * std::cos(pitch)};
}

DVec3 turnByHeading(DVec3 v, double heading) { // about +y, +z towards +x
    return {v.x * std::cos(heading) + v.z * std::sin(heading), v.y,
            -v.x * std::sin(heading) + v.z * std::cos(heading)};
}

DVec3 rotateAxis(DVec3 axis, const HeadingPitchBank& rotation) {
    return turnByHeading(turnByPitch(turnByBank(axis, rotation.bank), rotation.pitch),
                         rotation.heading);
}

bool isVectorCode(int code) {
    return code >= ITEM_POSITION && code <= ITEM_FORWARD;
}

// --- The tables' entry points --------------------------------------------------------------------

void HOSTCALL itemVector(HostItemId item, int code, double time, DVec3* out) {
    SimHost* host = SimHost::current();
    if (host == nullptr) {
        SimHost::reportOrphanCall("LW Item Info 4.vector");
        return;
    }
    host->cameras().vector(item, code, time, out);
}

ChannelGroup HOSTCALL itemChannelGroup(HostItemId item) {
    SimHost* host = SimHost::current();
    if (host == nullptr) {
        SimHost::reportOrphanCall("LW Item Info 4.channelGroup");
        return nullptr;
    }
    return host->cameras().channelGroup(item);
}

double HOSTCALL cameraZoomFactor(HostItemId item, double time) {
    SimHost* host = SimHost::current();
    if (host == nullptr) {
        SimHost::reportOrphanCall("LW Camera Info 5.zoomFactor");
        return 0.0;
    }
    return host->cameras().zoomFactor(item, time);
}

double HOSTCALL cameraFocusDistance(HostItemId item, double time) {
    SimHost* host = SimHost::current();
    if (host == nullptr) {
        SimHost::reportOrphanCall("LW Camera Info 5.focusDistance");
        return 0.0;
    }
    return host->cameras().focusDistance(item, time);
}

double HOSTCALL cameraFStop(HostItemId item, double time) {
    SimHost* host = SimHost::current();
    if (host == nullptr) {
        SimHost::reportOrphanCall("LW Camera Info 5.fStop");
        return 0.0;
    }
    return host->cameras().fStop(item, time);
}

// Slots of the host's tables that the module never calls. With the C calling convention the
// caller removes its own arguments, so one function serves any slot's signature.
void HOSTCALL unusedItemSlotCalled() {
    if (SimHost* host = SimHost::current()) {
        host->log().record(SERVICE_ITEM_INFO, "unexpectedCall");
        host->reportViolation("a slot of LW Item Info 4 or LW Camera Info 5 that the module "
                              "does not use was called");
    } else {
        SimHost::reportOrphanCall("an unused host slot");
    }
}

void* unusedSlot() {
    return reinterpret_cast<void*>(&unusedItemSlotCalled);
}

const ItemInfo kItemTable = [] {
    ItemInfo table{};
    for (void*& slot : table.hostSlots) {
        slot = unusedSlot();
    }
    for (void*& slot : table.hostSlots2) {
        slot = unusedSlot();
    }
    table.vector = itemVector;
    table.channelGroup = itemChannelGroup;
    return table;
}();

const CameraInfo kCameraTable = {cameraZoomFactor, unusedSlot(), cameraFocusDistance, cameraFStop};

} // namespace

const ItemInfo* CameraItems::itemTable() {
    return &kItemTable;
}
const CameraInfo* CameraItems::cameraTable() {
    return &kCameraTable;
}

// --- Lookup --------------------------------------------------------------------------------------

const CameraItems::Camera* CameraItems::find(HostItemId item) const {
    const auto number = handleNumber(tokenOf(item), HandleKind::Item, host_.serial());
    if (!number || *number > cameras_.size()) {
        return nullptr;
    }
    return &cameras_[*number - 1];
}

CameraItems::Camera& CameraItems::cameraForTest(HostItemId item) {
    const Camera* camera = find(item);
    if (camera == nullptr) {
        throw std::invalid_argument("hostsim: " + handleText(tokenOf(item), host_.serial()) +
                                    " is not a camera of this host");
    }
    return const_cast<Camera&>(*camera);
}

const CameraItems::Camera& CameraItems::cameraForTest(HostItemId item) const {
    return const_cast<CameraItems*>(this)->cameraForTest(item);
}

const CameraItems::Camera* CameraItems::cameraForHost(HostItemId item, const char* service,
                                                      const char* operation) {
    const Camera* camera = find(item);
    if (camera == nullptr) {
        host_.reportViolation(std::string(service) + "." + operation + ": " +
                              handleText(tokenOf(item), host_.serial()) +
                              " is not an item of this host");
    }
    return camera;
}

// --- The test side -------------------------------------------------------------------------------

HostItemId CameraItems::addCamera(std::string name) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cameras_.size() >= kMaxHandleNumber) {
        throw std::length_error("hostsim: too many cameras");
    }
    Camera camera;
    camera.name = std::move(name);
    cameras_.push_back(std::move(camera));
    return handleFromToken<HostItemId>(makeHandleToken(
        HandleKind::Item, host_.serial(), static_cast<std::uint32_t>(cameras_.size())));
}

std::vector<HostItemId> CameraItems::cameras() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<HostItemId> items;
    for (std::uint32_t number = 1; number <= cameras_.size(); ++number) {
        items.push_back(
            handleFromToken<HostItemId>(makeHandleToken(HandleKind::Item, host_.serial(), number)));
    }
    return items;
}

ChannelGroup CameraItems::channelGroupOf(HostItemId item) const {
    std::lock_guard<std::mutex> lock(mutex_);
    cameraForTest(item);
    const auto number = handleNumber(tokenOf(item), HandleKind::Item, host_.serial());
    return handleFromToken<ChannelGroup>(
        makeHandleToken(HandleKind::ChannelGroup, host_.serial(), *number));
}

bool CameraItems::isChannelGroup(ChannelGroup group) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto number = handleNumber(tokenOf(group), HandleKind::ChannelGroup, host_.serial());
    return number && *number <= cameras_.size();
}

void CameraItems::setPositionKey(HostItemId item, double time, DVec3 position) {
    std::lock_guard<std::mutex> lock(mutex_);
    Camera& camera = cameraForTest(item);
    const double values[3] = {position.x, position.y, position.z};
    for (int axis = 0; axis < 3; ++axis) {
        if (!camera.position[axis].setKey(time, values[axis])) {
            throw std::invalid_argument("hostsim: setPositionKey: NaN time");
        }
    }
}

void CameraItems::setRotationKey(HostItemId item, double time, HeadingPitchBank rotation) {
    std::lock_guard<std::mutex> lock(mutex_);
    Camera& camera = cameraForTest(item);
    const double values[3] = {rotation.heading, rotation.pitch, rotation.bank};
    for (int angle = 0; angle < 3; ++angle) {
        if (!camera.rotation[angle].setKey(time, values[angle])) {
            throw std::invalid_argument("hostsim: setRotationKey: NaN time");
        }
    }
}

void CameraItems::setZoomFactorKey(HostItemId item, double time, double zoomFactor) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!cameraForTest(item).zoomFactor.setKey(time, zoomFactor)) {
        throw std::invalid_argument("hostsim: setZoomFactorKey: NaN time");
    }
}

void CameraItems::setFocusDistanceKey(HostItemId item, double time, double focusDistance) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!cameraForTest(item).focusDistance.setKey(time, focusDistance)) {
        throw std::invalid_argument("hostsim: setFocusDistanceKey: NaN time");
    }
}

void CameraItems::setFStopKey(HostItemId item, double time, double fStop) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!cameraForTest(item).fStop.setKey(time, fStop)) {
        throw std::invalid_argument("hostsim: setFStopKey: NaN time");
    }
}

void CameraItems::overrideVector(HostItemId item, int code, DVec3 raw) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!isVectorCode(code)) {
        throw std::invalid_argument("hostsim: overrideVector: code " + std::to_string(code));
    }
    cameraForTest(item).overrides[code] = raw;
}

void CameraItems::clearOverrides(HostItemId item) {
    std::lock_guard<std::mutex> lock(mutex_);
    cameraForTest(item).overrides.clear();
}

DVec3 CameraItems::evaluateVector(const Camera& camera, int code, double time) {
    const auto overridden = camera.overrides.find(code);
    if (overridden != camera.overrides.end()) {
        return overridden->second;
    }
    if (code == ITEM_POSITION) {
        return {camera.position[0].valueAt(time), camera.position[1].valueAt(time),
                camera.position[2].valueAt(time)};
    }
    const HeadingPitchBank rotation{camera.rotation[0].valueAt(time),
                                    camera.rotation[1].valueAt(time),
                                    camera.rotation[2].valueAt(time)};
    switch (code) {
    case ITEM_RIGHT:
        return rotateAxis({1.0, 0.0, 0.0}, rotation);
    case ITEM_UP:
        return rotateAxis({0.0, 1.0, 0.0}, rotation);
    default:
        return rotateAxis({0.0, 0.0, 1.0}, rotation);
    }
}

DVec3 CameraItems::vectorAt(HostItemId item, int code, double time) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!isVectorCode(code)) {
        throw std::invalid_argument("hostsim: vectorAt: code " + std::to_string(code));
    }
    return evaluateVector(cameraForTest(item), code, time);
}

double CameraItems::zoomFactorAt(HostItemId item, double time) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cameraForTest(item).zoomFactor.valueAt(time);
}

double CameraItems::focusDistanceAt(HostItemId item, double time) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cameraForTest(item).focusDistance.valueAt(time);
}

double CameraItems::fStopAt(HostItemId item, double time) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cameraForTest(item).fStop.valueAt(time);
}

// --- The host side -------------------------------------------------------------------------------

void CameraItems::vector(HostItemId item, int code, double time, DVec3* out) {
    host_.log().record(SERVICE_ITEM_INFO, "vector",
                       {handleText(tokenOf(item), host_.serial()), std::to_string(code),
                        numberText(time), pointerText(out)});
    std::lock_guard<std::mutex> lock(mutex_);
    const Camera* camera = cameraForHost(item, SERVICE_ITEM_INFO, "vector");
    if (camera == nullptr) {
        return;
    }
    if (!isVectorCode(code)) {
        host_.reportViolation(std::string(SERVICE_ITEM_INFO) + ".vector: unknown code " +
                              std::to_string(code));
        return;
    }
    if (out == nullptr) {
        host_.reportViolation(std::string(SERVICE_ITEM_INFO) + ".vector: no place for the vector");
        return;
    }
    *out = evaluateVector(*camera, code, time);
}

ChannelGroup CameraItems::channelGroup(HostItemId item) {
    host_.log().record(SERVICE_ITEM_INFO, "channelGroup",
                       {handleText(tokenOf(item), host_.serial())});
    std::lock_guard<std::mutex> lock(mutex_);
    if (cameraForHost(item, SERVICE_ITEM_INFO, "channelGroup") == nullptr) {
        return nullptr;
    }
    const auto number = handleNumber(tokenOf(item), HandleKind::Item, host_.serial());
    return handleFromToken<ChannelGroup>(
        makeHandleToken(HandleKind::ChannelGroup, host_.serial(), *number));
}

double CameraItems::lensValue(HostItemId item, double time, const char* operation,
                              KeyCurve Camera::*curve) {
    host_.log().record(SERVICE_CAMERA_INFO, operation,
                       {handleText(tokenOf(item), host_.serial()), numberText(time)});
    std::lock_guard<std::mutex> lock(mutex_);
    const Camera* camera = cameraForHost(item, SERVICE_CAMERA_INFO, operation);
    if (camera == nullptr) {
        return 0.0;
    }
    return (camera->*curve).valueAt(time);
}

double CameraItems::zoomFactor(HostItemId item, double time) {
    return lensValue(item, time, "zoomFactor", &Camera::zoomFactor);
}

double CameraItems::focusDistance(HostItemId item, double time) {
    return lensValue(item, time, "focusDistance", &Camera::focusDistance);
}

double CameraItems::fStop(HostItemId item, double time) {
    return lensValue(item, time, "fStop", &Camera::fStop);
}

} // namespace hostsim
