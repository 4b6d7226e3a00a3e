#include "fuzz/camera_fuzz_session.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

#include "fuzz/fuzz_check.h"
#include "fuzz/record_snapshot.h"
#include "host/activation.h"
#include "host/host_services.h"
#include "hostsim/number_text.h"
#include "lifecycle/instance_lifecycle.h"
#include "model/instance_parameters.h"
#include "model/sample_table.h"

namespace vellary_fuzz {

namespace {

// Bounds that keep one input's run short: actions per input, instances and panels alive.
constexpr int kMaxActions = 48;
constexpr std::size_t kMaxInstances = 5;
constexpr int kMaxRaysPerAction = 8;

constexpr const char* kRequiredHandlerServices[] = {SERVICE_VPARM_FUNCS, SERVICE_ITEM_INFO,
                                                    SERVICE_ANIMATION_ENVELOPES, SERVICE_TIME_INFO};
// Services a host may lack; the order is the bit order of the input's absence masks.
constexpr const char* kServices[] = {
    SERVICE_VPARM_FUNCS, SERVICE_ITEM_INFO, SERVICE_ANIMATION_ENVELOPES, SERVICE_TIME_INFO,
    SERVICE_CAMERA_INFO, SERVICE_XPANEL,    SERVICE_INSTANCE_UPDATE,
};
constexpr int kServiceCount = sizeof(kServices) / sizeof(kServices[0]);

// The module's per-process state, as it is right after the host loads the library: each input
// starts from a freshly loaded module, so a failure reproduces from its input alone.
void resetModuleState() {
    hostServices = HostServices{};
    std::free(sampleTable.entries);
    sampleTable = SampleTable{nullptr, 0, 0.0, 0.0};
}

std::uint32_t expectedSampleIndex(std::uint32_t count, double fraction) {
    const double scaled = static_cast<double>(count) * fraction;
    if (!(scaled > 0.0)) {
        return 0;
    }
    return scaled >= static_cast<double>(count) ? count : static_cast<std::uint32_t>(scaled);
}

bool sameValue(double expected, double actual) {
    return expected == actual || (std::isnan(expected) && std::isnan(actual));
}

bool sameBits(const void* a, const void* b, std::size_t size) {
    return std::memcmp(a, b, size) == 0;
}

bool isFinite(const DVec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

double length(const DVec3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

// Key for key, NaN values included.
bool sameKeys(const std::vector<hostsim::Key>& a, const std::vector<hostsim::Key>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!sameValue(a[i].time, b[i].time) || !sameValue(a[i].value, b[i].value)) {
            return false;
        }
    }
    return true;
}

// The values of the "floats" entry of a scene file, as the host will read them.
std::vector<float> floatsOfScene(const std::string& path) {
    std::ifstream file(path);
    std::vector<float> values;
    for (std::string line; std::getline(file, line);) {
        std::istringstream words(line);
        std::string kind;
        int count = 0;
        if (!(words >> kind) || kind != "floats" || !(words >> count)) {
            continue;
        }
        for (std::string word; words >> word;) {
            float value = 0.0f;
            if (hostsim::parseFloat(word, &value)) {
                values.push_back(value);
            }
        }
        values.resize(std::min<std::size_t>(values.size(), static_cast<std::size_t>(count)));
    }
    return values;
}

} // namespace

CameraFuzzSession::CameraFuzzSession(HostileInput& input) : input_(input) {
    resetModuleState();
    host_ = std::make_unique<hostsim::SimHost>();
    panels_ = std::make_unique<hostsim::XPanelService>(*host_);
    // Thousands of host calls per frame: the call log is only kept while a thumbnail draws.
    host_->log().setRecording(false);
    cameras_.push_back(host_->cameras().addCamera("Camera"));
    cameras_.push_back(host_->cameras().addCamera("Camera (2)"));
    handler_->instance = instanceTable_.get();
    activateHandlerAgain();
}

CameraFuzzSession::~CameraFuzzSession() {
    if (!closed_) {
        close();
    }
    panels_.reset();
    host_.reset();
}

void CameraFuzzSession::run() {
    for (int action = 0; action < kMaxActions && !input_.exhausted(); ++action) {
        playOneAction();
    }
    close();
}

void CameraFuzzSession::playOneAction() {
    switch (input_.byte() % 19) {
    case 0:
        activateHandlerAgain();
        break;
    case 1:
        toggleService();
        break;
    case 2:
        createInstance();
        break;
    case 3:
        destroyInstance();
        break;
    case 4:
        copyInstance();
        break;
    case 5:
        saveAndLoad();
        break;
    case 6:
        loadWrittenScene();
        break;
    case 7:
        animateChannel();
        break;
    case 8:
        changeCamera();
        break;
    case 9:
        newFrame();
        break;
    case 10:
        evaluateRays();
        break;
    case 11:
        preview();
        break;
    case 12:
        describeAndFlags();
        break;
    case 13:
        openPanel();
        break;
    case 14:
        closePanel();
        break;
    case 15:
        panelValues();
        break;
    case 16:
        drawThumbnail();
        break;
    case 17:
        setHostTime();
        break;
    default:
        createInstance();
        newFrame();
        evaluateRays();
        break;
    }
}

// --- Activation ------------------------------------------------------------------------------

void CameraFuzzSession::activateHandlerAgain() {
    const std::uint8_t absent = input_.byte();
    for (int i = 0; i < kServiceCount; ++i) {
        // A low byte takes services away; most activations see a complete host.
        host_->setServiceAbsent(kServices[i], absent < 64 && (absent & (1u << (i % 6))) != 0);
    }
    const int version = input_.byte() < 240 ? HANDLER_VERSION : input_.int32();
    const RecordSnapshot<InstanceCallbackTable> instanceBefore(*instanceTable_);
    const RecordSnapshot<HandlerCallbackTable> handlerBefore(*handler_);
    const int result = activateHandler(version, host_->globalLookup(), handler_.get(), nullptr);

    bool servicesThere = true;
    for (const char* name : kRequiredHandlerServices) {
        servicesThere = servicesThere && host_->findService(name) != nullptr;
    }
    const int expected = version != HANDLER_VERSION
                             ? ACTIVATION_BAD_VERSION
                             : (servicesThere ? ACTIVATION_OK : ACTIVATION_NO_SERVICE);
    FUZZ_CHECK(result == expected, "handler activation gave %d, expected %d", result, expected);
    if (result != ACTIVATION_OK) {
        FUZZ_CHECK(instanceBefore.unchanged(*instanceTable_) && handlerBefore.unchanged(*handler_),
                   "a failed handler activation wrote the host's callback tables");
    } else {
        FUZZ_CHECK(handler_->newFrame != nullptr && handler_->evaluate != nullptr &&
                       handler_->preview != nullptr && handler_->flags != nullptr &&
                       instanceTable_->create != nullptr && instanceTable_->destroy != nullptr,
                   "handler activation left a callback out");
        handlerActive_ = true;
    }
    FUZZ_CHECK(instanceTable_.check() && handler_.check(), "write outside the callback tables");
    for (int i = 0; i < kServiceCount; ++i) {
        host_->setServiceAbsent(kServices[i], false);
    }
}

void CameraFuzzSession::toggleService() {
    const int which = static_cast<int>(input_.index(kServiceCount));
    host_->setServiceAbsent(kServices[which], input_.flag());
}

// --- Instances -------------------------------------------------------------------------------

HostItemId CameraFuzzSession::pickCamera() {
    return cameras_[input_.index(cameras_.size())];
}

CameraFuzzSession::LiveInstance* CameraFuzzSession::pickLive() {
    if (instances_.empty()) {
        return nullptr;
    }
    return &instances_[input_.index(instances_.size())];
}

CameraInstance* CameraFuzzSession::pickInstance() {
    LiveInstance* live = pickLive();
    return live != nullptr ? static_cast<CameraInstance*>(live->instance) : nullptr;
}

void CameraFuzzSession::createInstance() {
    if (!handlerActive_ || instances_.size() >= kMaxInstances) {
        return;
    }
    if (input_.byte() < 48) {
        host_->channels().refuseCreate(1 + static_cast<int>(input_.index(5)));
    }
    const HostItemId item = pickCamera();
    const bool cameraInfo = host_->findService(SERVICE_CAMERA_INFO) != nullptr;
    const bool timeInfo = host_->findService(SERVICE_TIME_INFO) != nullptr;
    const double now = timeInfo ? host_->time() : 0.0;
    HostError error = nullptr;
    HostInstance instance = instanceTable_->create(instanceTable_->privateWord, item, &error);
    FUZZ_CHECK(instance != nullptr, "create failed: %s", error != nullptr ? error : "(no message)");
    FUZZ_CHECK(error == nullptr, "create succeeded but left a message");
    instances_.push_back(LiveInstance{instance, item});

    const CameraInstance& camera = *static_cast<const CameraInstance*>(instance);
    const double zoom = cameraInfo ? host_->cameras().zoomFactorAt(item, now) : DEFAULT_ZOOM_FACTOR;
    FUZZ_CHECK(sameValue(zoom, camera.zoomFactor), "new instance zoom %g, host camera %g",
               camera.zoomFactor, zoom);
    FUZZ_CHECK(camera.hShift == 0.0 && camera.vShift == 0.0 && camera.tiltDirection == 0.0 &&
                   camera.tiltAngle == 0.0 && camera.filmWidth == 0.0 && camera.filmHeight == 0.0 &&
                   camera.infoText[0] == '\0',
               "a new instance does not start from the defaults");
    FUZZ_CHECK(camera.itemId == item, "a new instance belongs to another item");
}

void CameraFuzzSession::closePanelsOf(HostInstance instance) {
    for (auto it = openPanels_.begin(); it != openPanels_.end();) {
        if (it->instance == instance) {
            panels_->destroyPanel(it->panel);
            it = openPanels_.erase(it);
        } else {
            ++it;
        }
    }
}

void CameraFuzzSession::destroyInstance() {
    if (instances_.empty()) {
        return;
    }
    const std::size_t which = input_.index(instances_.size());
    const LiveInstance live = instances_[which];
    instances_.erase(instances_.begin() + static_cast<std::ptrdiff_t>(which));
    // The host closes an instance's settings before it destroys the instance.
    closePanelsOf(live.instance);
    const CameraInstance& camera = *static_cast<const CameraInstance*>(live.instance);
    std::vector<ParamChannel> channels;
    for (const InstanceParameter& parameter : instanceParameters) {
        if (camera.*parameter.channel != nullptr) {
            channels.push_back(camera.*parameter.channel);
        }
    }
    instanceTable_->destroy(live.instance);
    for (ParamChannel channel : channels) {
        FUZZ_CHECK(host_->channels().destroyedExactlyOnce(channel),
                   "destroy did not destroy each of the instance's channels exactly once");
        destroyedChannels_.push_back(channel);
    }
}

void CameraFuzzSession::copyInstance() {
    if (instances_.size() < 2) {
        return;
    }
    const std::size_t to = input_.index(instances_.size());
    std::size_t from = input_.index(instances_.size() - 1);
    from = from >= to ? from + 1 : from;
    CameraInstance& destination = *static_cast<CameraInstance*>(instances_[to].instance);
    const CameraInstance& source = *static_cast<const CameraInstance*>(instances_[from].instance);

    const char* refused = nullptr;
    if (input_.byte() < 64) {
        const ParamChannel channel =
            destination.*instanceParameters[input_.index(INSTANCE_PARAMETER_COUNT)].channel;
        if (channel != nullptr) {
            host_->channels().failCopy(channel, "channel copy refused");
            refused = "channel copy refused";
        }
    }
    ParamChannel destinationChannels[INSTANCE_PARAMETER_COUNT];
    for (int i = 0; i < INSTANCE_PARAMETER_COUNT; ++i) {
        destinationChannels[i] = destination.*instanceParameters[i].channel;
    }
    const HostError result =
        instanceTable_->copy(&destination, const_cast<CameraInstance*>(&source));
    host_->channels().clearFailures();

    FUZZ_CHECK(result == nullptr || (refused != nullptr && std::strcmp(result, refused) == 0),
               "copy reported an error of its own: %s", result);
    for (int i = 0; i < INSTANCE_PARAMETER_COUNT; ++i) {
        const InstanceParameter& parameter = instanceParameters[i];
        FUZZ_CHECK(
            sameBits(&(destination.*parameter.value), &(source.*parameter.value), sizeof(double)),
            "copy did not take the source's %s", parameter.channelName);
        FUZZ_CHECK(destination.*parameter.channel == destinationChannels[i],
                   "copy replaced the destination's own %s channel", parameter.channelName);
        const ParamChannel mine = destination.*parameter.channel;
        const ParamChannel theirs = source.*parameter.channel;
        if (refused == nullptr && mine != nullptr && theirs != nullptr) {
            FUZZ_CHECK(
                sameKeys(host_->channels().info(mine)->keys, host_->channels().info(theirs)->keys),
                "after a copy the %s channel animates differently", parameter.channelName);
        }
    }
    FUZZ_CHECK(sameBits(&destination.filmWidth, &source.filmWidth, 2 * sizeof(double)) &&
                   destination.itemId == source.itemId &&
                   std::memcmp(destination.infoText, source.infoText, CAMERA_INFO_TEXT_SIZE) == 0,
               "copy did not take the source's film, item and read-out");
}

// --- Scenes ----------------------------------------------------------------------------------

std::string CameraFuzzSession::scenePath(const char* what) const {
    const char* directory = std::getenv("TMPDIR");
    return std::string(directory != nullptr ? directory : "/tmp") + "/vellary-fuzz-" +
           std::to_string(static_cast<long>(getpid())) + "-" + what + ".scene";
}

void CameraFuzzSession::checkLoadResult(const CameraInstance& before, const CameraInstance& after,
                                        HostError result, const std::vector<float>& delivered,
                                        bool exact) {
    for (int i = 0; i < INSTANCE_PARAMETER_COUNT; ++i) {
        const InstanceParameter& parameter = instanceParameters[i];
        const double old = before.*parameter.value;
        const double now = after.*parameter.value;
        const bool unchanged = sameBits(&old, &now, sizeof(double));
        if (result != nullptr || static_cast<std::size_t>(i) >= delivered.size()) {
            FUZZ_CHECK(unchanged, "%s changed although no value was read for it (%g -> %g)",
                       parameter.channelName, old, now);
            continue;
        }
        const double read = static_cast<double>(delivered[i]);
        FUZZ_CHECK(sameValue(read, now) || ((std::isnan(read) || !exact) && unchanged),
                   "%s is %g after loading %g", parameter.channelName, now, read);
    }
    FUZZ_CHECK(sameBits(&before.filmWidth, &after.filmWidth,
                        offsetof(CameraInstance, infoText) - offsetof(CameraInstance, filmWidth)),
               "load changed the instance's film, channels or item");
}

void CameraFuzzSession::saveAndLoad() {
    LiveInstance* from = pickLive();
    LiveInstance* to = pickLive();
    if (from == nullptr) {
        return;
    }
    const CameraInstance& source = *static_cast<const CameraInstance*>(from->instance);
    CameraInstance& destination = *static_cast<CameraInstance*>(to->instance);
    const std::string path = scenePath("round-trip");

    SceneSaveRecord* save = host_->scenes().openForWriting(path);
    const char* saveRefused = nullptr;
    if (input_.byte() < 32) {
        const ParamChannel channel =
            source.*instanceParameters[input_.index(INSTANCE_PARAMETER_COUNT)].channel;
        if (channel != nullptr) {
            host_->channels().failSave(channel, "channel save refused");
            saveRefused = "channel save refused";
        }
    }
    const HostError saved = instanceTable_->save(from->instance, save);
    host_->channels().clearFailures();
    std::string error;
    FUZZ_CHECK(host_->scenes().finishWriting(save, &error), "%s", error.c_str());
    FUZZ_CHECK(saved == nullptr || (saveRefused != nullptr && std::strcmp(saved, saveRefused) == 0),
               "save reported an error of its own: %s", saved);
    if (saved != nullptr) {
        return;
    }

    SceneLoadRecord* load = host_->scenes().openForReading(path, &error);
    FUZZ_CHECK(load != nullptr, "%s", error.c_str());
    std::vector<float> delivered = floatsOfScene(path);
    if (input_.flag()) {
        const int limit = static_cast<int>(input_.index(6));
        host_->scenes().limitFloatReads(load, limit);
        delivered.resize(std::min<std::size_t>(delivered.size(), static_cast<std::size_t>(limit)));
    }
    if (input_.byte() < 32) {
        const ParamChannel channel =
            destination.*instanceParameters[input_.index(INSTANCE_PARAMETER_COUNT)].channel;
        if (channel != nullptr) {
            host_->channels().failLoad(channel, "channel load refused");
        }
    }
    const CameraInstance before = destination;
    const HostError loaded = instanceTable_->load(to->instance, load);
    host_->channels().clearFailures();
    // When the scene did not match what was asked of it (an instance with a refused channel
    // reads the other's float block as a channel), the float read may have delivered nothing.
    const bool exact = host_->scenes().readProblems(load).empty();
    host_->scenes().closeReading(load);
    checkLoadResult(before, destination, loaded, delivered, exact);
}

void CameraFuzzSession::loadWrittenScene() {
    LiveInstance* to = pickLive();
    if (to == nullptr) {
        return;
    }
    // A scene file as another program (or a damaged disk) may have left it: any number of
    // channel entries with any keys, then a float block of any length and content.
    const std::string path = scenePath("written");
    {
        std::ofstream file(path, std::ios::trunc);
        file << "# vellary hostsim scene 1\n";
        const std::size_t channels = input_.index(7);
        for (std::size_t c = 0; c < channels; ++c) {
            const std::size_t keys = input_.index(4);
            file << "channel Fuzz " << (16 << input_.index(3)) << " " << keys;
            for (std::size_t k = 0; k < keys; ++k) {
                file << " " << hostsim::doubleText(input_.keyTime()) << " "
                     << hostsim::doubleText(input_.hostileDouble());
            }
            file << "\n";
        }
        const std::size_t count = input_.index(8);
        file << "floats " << count;
        for (std::size_t v = 0; v < count; ++v) {
            const std::uint32_t bits = input_.uint32();
            float value;
            std::memcpy(&value, &bits, sizeof(value));
            file << " " << hostsim::floatText(value);
        }
        file << "\n";
    }
    std::string error;
    SceneLoadRecord* load = host_->scenes().openForReading(path, &error);
    FUZZ_CHECK(load != nullptr, "%s", error.c_str());
    CameraInstance& destination = *static_cast<CameraInstance*>(to->instance);
    const CameraInstance before = destination;
    const HostError loaded = instanceTable_->load(to->instance, load);
    const bool exact = host_->scenes().readProblems(load).empty();
    host_->scenes().closeReading(load);
    checkLoadResult(before, destination, loaded, floatsOfScene(path), exact);
}

// --- The scene's animation -------------------------------------------------------------------

void CameraFuzzSession::animateChannel() {
    CameraInstance* camera = pickInstance();
    if (camera == nullptr) {
        return;
    }
    const ParamChannel channel =
        camera->*instanceParameters[input_.index(INSTANCE_PARAMETER_COUNT)].channel;
    if (channel == nullptr) {
        return;
    }
    std::vector<hostsim::Key> keys;
    const std::size_t count = input_.index(4);
    for (std::size_t k = 0; k < count; ++k) {
        const double time = input_.keyTime();
        keys.push_back(hostsim::Key{time, input_.hostileDouble()});
    }
    host_->channels().setKeys(channel, std::move(keys));
}

void CameraFuzzSession::changeCamera() {
    const HostItemId item = pickCamera();
    hostsim::CameraItems& cameras = host_->cameras();
    switch (input_.byte() % 7) {
    case 0: {
        const double time = input_.keyTime();
        cameras.setPositionKey(item, time, input_.hostileVector());
        break;
    }
    case 1: {
        const double time = input_.keyTime();
        const DVec3 angles = input_.hostileVector();
        cameras.setRotationKey(item, time, hostsim::HeadingPitchBank{angles.x, angles.y, angles.z});
        break;
    }
    case 2: {
        const double time = input_.keyTime();
        cameras.setZoomFactorKey(item, time, input_.hostileDouble());
        break;
    }
    case 3: {
        const double time = input_.keyTime();
        cameras.setFocusDistanceKey(item, time, input_.hostileDouble());
        break;
    }
    case 4: {
        const double time = input_.keyTime();
        cameras.setFStopKey(item, time, input_.hostileDouble());
        break;
    }
    case 5: {
        const int code = ITEM_POSITION + static_cast<int>(input_.index(4));
        cameras.overrideVector(item, code, input_.hostileVector());
        break;
    }
    default:
        cameras.clearOverrides(item);
        break;
    }
}

void CameraFuzzSession::setHostTime() {
    host_->setTime(input_.hostileDouble());
}

// --- Frames, rays and the preview ------------------------------------------------------------

void CameraFuzzSession::newFrame() {
    LiveInstance* live = pickLive();
    if (!handlerActive_ || live == nullptr) {
        return;
    }
    hostsim::GuardedRecord<FrameTiming> timing("FrameTiming", 1, 0xCD);
    timing->frame = input_.int32();
    timing->start = input_.hostileDouble();
    timing->duration = input_.hostileDouble();
    timing->hostReserved = input_.hostileDouble();
    timing->motionSteps = input_.motionSteps();
    hostsim::GuardedRecord<HostCameraRecord> camera("HostCameraRecord", 1, 0xCD);
    camera->cameraItem = input_.flag() ? live->item : pickCamera();
    camera->filmWidth = input_.hostileDouble();
    camera->filmHeight = input_.hostileDouble();
    const RecordSnapshot<FrameTiming> timingBefore(*timing);
    const RecordSnapshot<HostCameraRecord> cameraBefore(*camera);

    const HostError result = handler_->newFrame(live->instance, timing.get(), camera.get());

    FUZZ_CHECK(timing.check() && camera.check(), "write outside the frame's records");
    FUZZ_CHECK(timingBefore.unchanged(*timing) && cameraBefore.unchanged(*camera),
               "the new-frame callback wrote into the host's records");
    const std::int64_t samples = 4 * static_cast<std::int64_t>(timing->motionSteps);
    if (samples < 0 || samples > static_cast<std::int64_t>(UINT32_MAX) - 1) {
        FUZZ_CHECK(result != nullptr && std::strcmp(result, MESSAGE_NO_TABLE_MEMORY) == 0,
                   "a motion-step count of %d was accepted", timing->motionSteps);
        FUZZ_CHECK(sampleTable.entries == nullptr, "a refused frame left a table behind");
        return;
    }
    FUZZ_CHECK(result == nullptr, "new frame with %d motion steps failed: %s", timing->motionSteps,
               result);
    FUZZ_CHECK(
        sampleTable.entries != nullptr && sampleTable.count == static_cast<std::uint32_t>(samples),
        "the table has %u samples for %d motion steps", sampleTable.count, timing->motionSteps);
    const CameraInstance& instance = *static_cast<const CameraInstance*>(live->instance);
    FUZZ_CHECK(sameBits(&instance.filmWidth, &camera->filmWidth, sizeof(double)) &&
                   sameBits(&instance.filmHeight, &camera->filmHeight, sizeof(double)),
               "the instance did not take the frame's film size");
}

void CameraFuzzSession::evaluateRays() {
    if (!handlerActive_) {
        return;
    }
    const int rays = 1 + static_cast<int>(input_.index(kMaxRaysPerAction));
    for (int r = 0; r < rays && !input_.exhausted(); ++r) {
        const double filmX = input_.hostileDouble();
        const double filmY = input_.hostileDouble();
        const bool lensCentre = input_.flag();
        const double lensX = lensCentre ? 0.0 : input_.hostileDouble();
        const double lensY = lensCentre ? 0.0 : input_.hostileDouble();
        const double fraction = input_.hostileDouble();
        hostsim::GuardedRecord<RayRecord> ray("RayRecord", 1, 0xCD);
        const RecordSnapshot<RayRecord> before(*ray);
        HostInstance instance = instances_.empty() ? nullptr : pickLive()->instance;

        const int result =
            handler_->evaluate(instance, filmX, filmY, lensX, lensY, fraction, ray.get());

        FUZZ_CHECK(ray.check(), "write outside the RayRecord");
        if (sampleTable.entries == nullptr) {
            FUZZ_CHECK(result == 0 && before.unchanged(*ray),
                       "a ray without a sample table gave %d or touched the record", result);
            continue;
        }
        FUZZ_CHECK(result == 1, "a ray gave %d", result);
        // The entry the ray must come from, found from its time alone; its origin is the lens
        // point of that entry, computed the same way.
        const MotionSample& s =
            sampleTable.entries[expectedSampleIndex(sampleTable.count, fraction)];
        const DVec3 origin = {(s.position.x + lensX * s.apertureX.x) + lensY * s.apertureY.x,
                              (s.position.y + lensX * s.apertureX.y) + lensY * s.apertureY.y,
                              (s.position.z + lensX * s.apertureX.z) + lensY * s.apertureY.z};
        FUZZ_CHECK(sameValue(origin.x, ray->origin.x) && sameValue(origin.y, ray->origin.y) &&
                       sameValue(origin.z, ray->origin.z),
                   "ray at time fraction %g came from the wrong sample", fraction);
        if (lensCentre && isFinite(s.apertureX) && isFinite(s.apertureY)) {
            FUZZ_CHECK(sameValue(s.position.x, ray->origin.x) &&
                           sameValue(s.position.y, ray->origin.y) &&
                           sameValue(s.position.z, ray->origin.z),
                       "a ray through the lens centre does not start at the camera position");
        }
        const int variant = linkedBuildVariant();
        if (variant == 1) {
            FUZZ_CHECK(sameBits(&ray->direction, &ray->auxDirection, sizeof(DVec3)),
                       "test1: the third vector does not repeat the direction");
            continue;
        }
        const double unit = length(ray->direction);
        FUZZ_CHECK(isFinite(ray->direction) && unit > 0.5 && unit < 1.5,
                   "test%d: the ray direction (%g, %g, %g) is not a unit vector", variant,
                   ray->direction.x, ray->direction.y, ray->direction.z);
        const DVec3& third = variant == 2 ? s.forward : ray->direction;
        FUZZ_CHECK(sameBits(&ray->auxDirection, &third, sizeof(DVec3)),
                   "test%d: wrong third vector", variant);
    }
}

void CameraFuzzSession::preview() {
    LiveInstance* live = pickLive();
    if (!handlerActive_ || live == nullptr) {
        return;
    }
    if (input_.flag()) {
        setHostTime();
    }
    const double lensX = input_.hostileDouble();
    const double lensY = input_.hostileDouble();
    hostsim::GuardedRecord<HostCameraRecord> camera("HostCameraRecord", 1, 0xCD);
    camera->cameraItem = live->item;
    camera->filmWidth = input_.hostileDouble();
    camera->filmHeight = input_.hostileDouble();
    hostsim::GuardedRecord<Matrix4d> projection("Matrix4d", 1, 0xCD);
    const RecordSnapshot<HostCameraRecord> cameraBefore(*camera);

    const int result =
        handler_->preview(live->instance, lensX, lensY, projection.get(), camera.get());

    FUZZ_CHECK(result == 1, "preview gave %d", result);
    FUZZ_CHECK(projection.check() && camera.check(), "write outside the preview's records");
    FUZZ_CHECK(cameraBefore.unchanged(*camera), "preview wrote into the host's camera record");
    const CameraInstance& instance = *static_cast<const CameraInstance*>(live->instance);
    FUZZ_CHECK(sameBits(&instance.filmWidth, &camera->filmWidth, sizeof(double)) &&
                   sameBits(&instance.filmHeight, &camera->filmHeight, sizeof(double)),
               "the instance did not take the preview's film size");
}

void CameraFuzzSession::describeAndFlags() {
    LiveInstance* live = pickLive();
    if (!handlerActive_ || live == nullptr) {
        return;
    }
    const char* description = instanceTable_->describe(live->instance);
    FUZZ_CHECK(description != nullptr && std::strcmp(description, INSTANCE_DESCRIPTION) == 0,
               "describe gave \"%s\"", description != nullptr ? description : "(null)");
    FUZZ_CHECK(handler_->flags(live->instance) == 1u, "flags other than 1");
}

void CameraFuzzSession::close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    for (const LivePanel& open : openPanels_) {
        panels_->destroyPanel(open.panel);
    }
    openPanels_.clear();
    while (!instances_.empty()) {
        destroyInstance();
    }
    FUZZ_CHECK(instanceTable_.check() && handler_.check(), "write outside the callback tables");
    for (ParamChannel channel : destroyedChannels_) {
        FUZZ_CHECK(host_->channels().destroyedExactlyOnce(channel),
                   "a channel was destroyed again after its instance was gone");
    }
    const std::vector<std::string> violations = host_->finalViolations();
    for (const std::string& violation : violations) {
        std::fprintf(stderr, "host violation: %s\n", violation.c_str());
    }
    FUZZ_CHECK(violations.empty(), "the host recorded %zu violation(s)", violations.size());
}

} // namespace vellary_fuzz
