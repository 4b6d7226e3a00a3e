// The callback group of `hostsim validate`: each of the module's callbacks once, as the host
// calls it, with the result the host expects.
#include <cmath>
#include <cstdio>
#include <limits>

#include "hostsim/validate_driver.h"
#include "hostsim/validate_groups.h"

namespace hostsim::validate {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr DVec3 kCameraPosition = {1.0, 2.0, 3.0};

std::string vectorText(const DVec3& v) {
    char text[96];
    std::snprintf(text, sizeof text, "(%g, %g, %g)", v.x, v.y, v.z);
    return text;
}

bool sameVector(const DVec3& a, const DVec3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

double length(const DVec3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

// What the ray's two direction vectors must be in the module's build.
std::string directionProblem(int variant, const RayRecord& ray, const DVec3& forward) {
    if (variant == 1) {
        return sameVector(ray.direction, ray.auxDirection) ? "" : "test1: third vector differs";
    }
    if (!(std::fabs(length(ray.direction) - 1.0) < 1e-9)) {
        return "direction " + vectorText(ray.direction) + " is not a unit vector";
    }
    const DVec3& third = variant == 2 ? forward : ray.direction;
    return sameVector(ray.auxDirection, third) ? ""
                                               : "third vector " + vectorText(ray.auxDirection);
}

// The channels of an instance, as its panel hands them to the host.
std::vector<ParamChannel> channelsOf(ModuleSession& session, XPanel panel) {
    std::vector<ParamChannel> channels;
    for (std::uint32_t id : kParameterControls) {
        const std::optional<void*> channel = session.panels().readControl(panel, id);
        channels.push_back(channel ? static_cast<ParamChannel>(*channel) : nullptr);
    }
    return channels;
}

void checkFramesAndRays(CameraDriver& driver, HostInstance instance, HostItemId item,
                        Report* report) {
    driver.host().cameras().setPositionKey(item, 0.0, kCameraPosition);
    std::string damage;
    const HostError frame = driver.newFrame(instance, item, 0.0, 1.0, 2, 0.036, 0.024, &damage);
    report->check("callbacks: new frame", frame == nullptr && damage.empty(),
                  frame != nullptr ? frame : damage);

    const DVec3 forward = driver.host().cameras().vectorAt(item, ITEM_FORWARD, 0.0);
    std::string problem;
    for (double fraction : {0.0, 0.5, 1.0, -3.0, 7.0, kNaN}) {
        const RayResult ray = driver.ray(instance, 0.01, -0.005, 0.0, 0.0, fraction);
        std::string wrong;
        if (ray.result != 1 || !ray.guardsIntact) {
            wrong = "result " + std::to_string(ray.result) + " or record damaged";
        } else if (!sameVector(ray.ray.origin, kCameraPosition)) {
            wrong = "origin " + vectorText(ray.ray.origin) + " is not the camera position";
        } else {
            wrong = directionProblem(driver.buildVariant(), ray.ray, forward);
        }
        if (!wrong.empty() && problem.empty()) {
            problem = "time fraction " + std::to_string(fraction) + ": " + wrong;
        }
    }
    report->check("callbacks: rays", problem.empty(), problem);

    const HostError refused = driver.newFrame(instance, item, 0.0, 1.0, -1, 0.036, 0.024, &damage);
    const RayResult noRay = driver.ray(instance, 0.0, 0.0, 0.0, 0.0, 0.5);
    report->check("callbacks: negative motion steps refused, then no rays",
                  refused != nullptr && std::string(refused) == "Can't allocate Memory" &&
                      noRay.result == 0 && noRay.recordUntouched && damage.empty(),
                  "new frame gave " + std::string(refused != nullptr ? refused : "success") +
                      ", ray gave " + std::to_string(noRay.result));
    driver.newFrame(instance, item, 0.0, 1.0, 1, 0.036, 0.024, &damage);

    bool finite = false;
    const int preview = driver.preview(instance, item, 0.1, -0.2, 0.036, 0.024, &finite, &damage);
    report->check("callbacks: preview", preview == 1 && finite && damage.empty(),
                  "result " + std::to_string(preview) + (finite ? "" : ", matrix not finite") +
                      (damage.empty() ? "" : ", " + damage));
}

void checkPanel(CameraDriver& driver, HostInstance instance, Report* report) {
    ModuleSession& session = driver.session();
    const OpenedPanel opened = session.openPanel(instance);
    if (!report->check("callbacks: panel opens", opened.panel != nullptr, "no panel")) {
        return;
    }
    XPanelService& panels = session.panels();
    const std::optional<int> tilt = panels.writeControl(opened.panel, 0x8006, 0.3);
    const std::optional<int> readout = panels.writeControl(opened.panel, kFocalLengthControl, 1.0);
    report->check("callbacks: panel set", tilt == 1 && readout == 0,
                  "tilt angle gave " + std::to_string(tilt.value_or(-1)) + ", read-out gave " +
                      std::to_string(readout.value_or(-1)));
    const std::optional<std::string> text =
        panels.readControlText(opened.panel, kFocalLengthControl);
    const std::vector<ParamChannel> channels = channelsOf(session, opened.panel);
    bool allChannels = true;
    for (ParamChannel channel : channels) {
        allChannels = allChannels && channel != nullptr;
    }
    report->check("callbacks: panel get",
                  text && text->rfind("Focal Length ", 0) == 0 && text->size() < 40 && allChannels,
                  "read-out \"" + text.value_or("(none)") + "\"");

    session.host().log().clear();
    const std::optional<RgbImage> image = panels.drawControl(opened.panel, kThumbnailControl);
    bool marker = false;
    for (const HostCall& call : session.host().log().calls()) {
        if (call.service == "drawing" && call.operation == "box" && call.arguments.size() == 8 &&
            call.arguments[1] == "255" && call.arguments[2] == "100") {
            const int x = std::stoi(call.arguments[4]);
            const int y = std::stoi(call.arguments[5]);
            marker = x >= -4 && x <= 99 && y >= -4 && y <= 99;
        }
    }
    report->check("callbacks: thumbnail", image.has_value() && marker,
                  "no drawing or no marker within the drawing");
}

void checkScenesAndCopy(CameraDriver& driver, HostInstance source, Report* report) {
    ModuleSession& session = driver.session();
    ParamChannels& channels = driver.host().channels();
    const OpenedPanel sourcePanel = session.openPanel(source);
    const std::vector<ParamChannel> sourceChannels = channelsOf(session, sourcePanel.panel);
    if (sourceChannels.empty() || sourceChannels[0] == nullptr) {
        report->check("callbacks: save and load", false, "the source has no zoom channel");
        return;
    }
    channels.setKeys(sourceChannels[0], {{0.0, 2.0}, {1.0, 3.0}});
    const std::string path = scratchPath("callbacks.scene");
    const HostError saved = driver.save(source, path);

    HostItemId item = nullptr;
    std::string error;
    HostInstance loaded = driver.create(&item, &error);
    HostInstance copied = driver.create(&item, &error);
    if (loaded == nullptr || copied == nullptr) {
        report->check("callbacks: save and load", false, "create failed: " + error);
        return;
    }
    const HostError load = driver.load(loaded, path);
    const HostError shortLoad = driver.load(loaded, path, 1);
    std::remove(path.c_str());
    const std::vector<ParamChannel> loadedChannels =
        channelsOf(session, session.openPanel(loaded).panel);
    report->check("callbacks: save and load",
                  saved == nullptr && load == nullptr && shortLoad == nullptr &&
                      channels.info(loadedChannels[0])->keys ==
                          channels.info(sourceChannels[0])->keys,
                  "the zoom animation did not come back");

    const HostError copy = driver.copy(copied, source);
    const std::vector<ParamChannel> copiedChannels =
        channelsOf(session, session.openPanel(copied).panel);
    report->check("callbacks: copy",
                  copy == nullptr && copiedChannels[0] != sourceChannels[0] &&
                      channels.info(copiedChannels[0])->keys ==
                          channels.info(sourceChannels[0])->keys,
                  "the copy does not animate as its source on channels of its own");

    bool once = true;
    for (HostInstance instance : {loaded, copied}) {
        driver.destroy(instance);
    }
    for (const std::vector<ParamChannel>* list : {&loadedChannels, &copiedChannels}) {
        for (ParamChannel channel : *list) {
            once = once && channels.destroyedExactlyOnce(channel);
        }
    }
    report->check("callbacks: destroy", once, "a channel was not destroyed exactly once");
}

} // namespace

void runCallbackGroup(const std::string& modulePath, Report* report) {
    std::string error;
    std::unique_ptr<ModuleSession> session = ModuleSession::open(modulePath, &error);
    if (!report->check("callbacks: load and activate",
                       session != nullptr && session->handlerActive(),
                       session == nullptr ? error : "handler activation failed")) {
        return;
    }
    CameraDriver driver(*session);
    HostItemId item = nullptr;
    HostInstance instance = driver.create(&item, &error);
    if (!report->check("callbacks: create",
                       instance != nullptr && driver.host().channels().aliveCount() == 5,
                       instance == nullptr ? error : "the instance does not have five channels")) {
        return;
    }
    const char* description = driver.describe(instance);
    report->check("callbacks: describe",
                  description != nullptr && std::string(description) == "CorbishCamera",
                  description != nullptr ? description : "null");
    const unsigned flags = driver.flags(instance);
    report->check("callbacks: flags", flags == 1u, std::to_string(flags));
    checkFramesAndRays(driver, instance, item, report);
    checkPanel(driver, instance, report);
    checkScenesAndCopy(driver, instance, report);
    driver.destroy(instance);
    const std::vector<std::string> violations = session->close();
    report->check("callbacks: no host violations", violations.empty(),
                  violations.empty() ? "" : violations.front());
}

} // namespace hostsim::validate
