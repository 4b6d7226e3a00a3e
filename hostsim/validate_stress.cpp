// The stress group of `hostsim validate`: a random but reproducible (seeded) host session with
// many instances, hostile parameter values, frames with random motion-step counts and rays
// evaluated from all cores at once, as a renderer does.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <random>
#include <thread>

#include "hostsim/validate_driver.h"
#include "hostsim/validate_groups.h"

namespace hostsim::validate {

namespace {

constexpr int kOperations = 160;
constexpr std::size_t kMaxInstances = 6;
constexpr int kRaysPerThread = 4000;
constexpr int kMaxMotionSteps = 16;

struct Live {
    HostInstance instance;
    HostItemId item;
    XPanel panel;
};

class StressSession {
  public:
    StressSession(CameraDriver& driver, std::uint32_t seed) : driver_(driver), random_(seed) {}

    void run(Report* report);

  private:
    double hostileValue();
    std::size_t pick(std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_);
    }
    void fail(const std::string& what, const std::string& why);
    void create();
    void destroy();
    void copy();
    void saveAndLoad();
    void setPanelValues();
    void frameAndRays();
    void evaluateRaysOnAllCores();

    CameraDriver& driver_;
    std::mt19937 random_;
    std::vector<Live> live_;
    std::vector<ParamChannel> destroyedChannels_;
    std::map<std::string, std::string> failures_; // first failure of each kind
    int frames_ = 0;
    std::atomic<long> rays_{0};
    unsigned threads_ = 0;
    bool tableBuilt_ = false;
};

double StressSession::hostileValue() {
    static constexpr double kValues[] = {0.0,
                                         -0.0,
                                         std::numeric_limits<double>::quiet_NaN(),
                                         std::numeric_limits<double>::infinity(),
                                         -std::numeric_limits<double>::infinity(),
                                         1e300,
                                         -1e300,
                                         std::numeric_limits<double>::denorm_min(),
                                         -1.0,
                                         -1000.0};
    if (std::uniform_int_distribution<int>(0, 3)(random_) == 0) {
        return kValues[pick(sizeof kValues / sizeof kValues[0])];
    }
    return std::uniform_real_distribution<double>(-4.0, 4.0)(random_);
}

void StressSession::fail(const std::string& what, const std::string& why) {
    failures_.emplace(what, why);
}

void StressSession::create() {
    if (live_.size() >= kMaxInstances) {
        return;
    }
    HostItemId item = nullptr;
    std::string error;
    HostInstance instance = driver_.create(&item, &error);
    if (instance == nullptr) {
        fail("create", error);
        return;
    }
    const OpenedPanel opened = driver_.session().openPanel(instance);
    if (opened.panel == nullptr) {
        fail("panel", "interface activation made no panel");
    }
    live_.push_back(Live{instance, item, opened.panel});
}

void StressSession::destroy() {
    if (live_.empty()) {
        return;
    }
    const std::size_t which = pick(live_.size());
    const Live gone = live_[which];
    live_.erase(live_.begin() + static_cast<std::ptrdiff_t>(which));
    std::vector<ParamChannel> channels;
    for (std::uint32_t id : kParameterControls) {
        if (const std::optional<void*> channel =
                driver_.session().panels().readControl(gone.panel, id)) {
            channels.push_back(static_cast<ParamChannel>(*channel));
        }
    }
    driver_.destroy(gone.instance);
    for (ParamChannel channel : channels) {
        if (!driver_.host().channels().destroyedExactlyOnce(channel)) {
            fail("destroy", "a channel was not destroyed exactly once");
        }
        destroyedChannels_.push_back(channel);
    }
}

void StressSession::copy() {
    if (live_.size() < 2) {
        return;
    }
    const std::size_t to = pick(live_.size());
    const std::size_t from = (to + 1 + pick(live_.size() - 1)) % live_.size();
    if (driver_.copy(live_[to].instance, live_[from].instance) != nullptr) {
        fail("copy", "copy reported an error");
    }
}

void StressSession::saveAndLoad() {
    if (live_.empty()) {
        return;
    }
    const Live& from = live_[pick(live_.size())];
    const Live& to = live_[pick(live_.size())];
    const std::string path = scratchPath("stress.scene");
    const HostError saved = driver_.save(from.instance, path);
    const int delivered = static_cast<int>(pick(7)) - 1; // -1 (all) .. 5
    const HostError loaded = driver_.load(to.instance, path, delivered);
    std::remove(path.c_str());
    if (saved != nullptr || loaded != nullptr) {
        fail("save and load", saved != nullptr ? saved : loaded);
    }
}

void StressSession::setPanelValues() {
    if (live_.empty()) {
        return;
    }
    const Live& target = live_[pick(live_.size())];
    XPanelService& panels = driver_.session().panels();
    const std::uint32_t id = kParameterControls[pick(kParameterControls.size())];
    const std::optional<int> stored = panels.writeControl(target.panel, id, hostileValue());
    if (stored != 1) {
        fail("panel set", "a parameter control did not take its value");
    }
    const std::optional<std::string> text = panels.readControlText(target.panel, 0x8002);
    if (!text || text->rfind("Focal Length ", 0) != 0 || text->size() >= 40) {
        fail("panel get", "read-out \"" + text.value_or("(none)") + "\"");
    }
    if (!panels.drawControl(target.panel, kThumbnailControl)) {
        fail("panel thumbnail", "the thumbnail could not be drawn");
    }
}

void StressSession::frameAndRays() {
    if (live_.empty()) {
        return;
    }
    const Live& target = live_[pick(live_.size())];
    const bool negative = pick(10) == 0;
    const int steps =
        negative ? -static_cast<int>(pick(100)) - 1 : static_cast<int>(pick(kMaxMotionSteps + 1));
    if (pick(3) == 0) {
        driver_.host().cameras().setFStopKey(target.item, 0.0, hostileValue());
    }
    std::string damage;
    const HostError result =
        driver_.newFrame(target.instance, target.item, hostileValue(), hostileValue(), steps,
                         hostileValue(), hostileValue(), &damage);
    ++frames_;
    if (!damage.empty()) {
        fail("new frame", damage);
    }
    if (negative != (result != nullptr)) {
        fail("new frame", std::to_string(steps) + " motion steps gave " +
                              (result != nullptr ? result : "success"));
    }
    tableBuilt_ = result == nullptr;
    evaluateRaysOnAllCores();
    bool finite = false;
    driver_.preview(target.instance, target.item, hostileValue(), hostileValue(), hostileValue(),
                    hostileValue(), &finite, &damage);
    if (!damage.empty()) {
        fail("preview", damage);
    }
}

// Every core evaluates rays at once from the same table, with random and hostile arguments.
void StressSession::evaluateRaysOnAllCores() {
    threads_ = std::max(2u, std::thread::hardware_concurrency());
    std::vector<std::thread> workers;
    std::vector<std::string> problems(threads_);
    const int variant = driver_.buildVariant();
    HostInstance instance = live_.front().instance;
    for (unsigned t = 0; t < threads_; ++t) {
        const std::uint32_t seed = static_cast<std::uint32_t>(random_());
        workers.emplace_back([this, t, seed, variant, instance, &problems] {
            std::mt19937 random(seed);
            std::uniform_real_distribution<double> film(-0.05, 0.05);
            std::uniform_real_distribution<double> fraction(-0.5, 1.5);
            for (int i = 0; i < kRaysPerThread && problems[t].empty(); ++i) {
                const double f =
                    i % 97 == 0 ? std::numeric_limits<double>::quiet_NaN() : fraction(random);
                const RayResult ray = driver_.ray(instance, film(random), film(random),
                                                  film(random) * 20.0, film(random) * 20.0, f);
                const DVec3& d = ray.ray.direction;
                const double length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
                if (!ray.guardsIntact) {
                    problems[t] = "write outside the RayRecord";
                } else if (ray.result != (tableBuilt_ ? 1 : 0)) {
                    problems[t] = "result " + std::to_string(ray.result);
                } else if (tableBuilt_ && variant != 1 && !(length > 0.5 && length < 1.5)) {
                    problems[t] = "direction of length " + std::to_string(length);
                }
            }
            rays_ += kRaysPerThread;
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    for (const std::string& problem : problems) {
        if (!problem.empty()) {
            fail("rays", problem);
        }
    }
}

void StressSession::run(Report* report) {
    create();
    create();
    for (int operation = 0; operation < kOperations; ++operation) {
        switch (pick(8)) {
        case 0:
            create();
            break;
        case 1:
            destroy();
            break;
        case 2:
            copy();
            break;
        case 3:
            saveAndLoad();
            break;
        case 4:
        case 5:
            setPanelValues();
            break;
        default:
            if (live_.empty()) {
                create();
            }
            frameAndRays();
            break;
        }
    }
    while (!live_.empty()) {
        destroy();
    }
    auto failure = [&](std::initializer_list<const char*> kinds) {
        for (const char* kind : kinds) {
            if (auto it = failures_.find(kind); it != failures_.end()) {
                return std::string(kind) + ": " + it->second;
            }
        }
        return std::string();
    };
    const std::string lifecycle = failure({"create", "destroy", "copy", "save and load"});
    report->check("stress: " + std::to_string(kOperations) +
                      " random create, copy, save, load and destroy operations",
                  lifecycle.empty(), lifecycle);
    const std::string render = failure({"new frame", "rays", "preview"});
    report->check("stress: " + std::to_string(frames_) + " frames with random motion steps, " +
                      std::to_string(rays_.load()) + " rays on " + std::to_string(threads_) +
                      " threads",
                  render.empty(), render);
    const std::string panel = failure({"panel", "panel set", "panel get", "panel thumbnail"});
    report->check("stress: panel read and set with hostile values", panel.empty(), panel);
}

} // namespace

void runStressGroup(const std::string& modulePath, std::uint32_t seed, Report* report) {
    std::string error;
    std::unique_ptr<ModuleSession> session = ModuleSession::open(modulePath, &error);
    if (!report->check("stress: load and activate", session != nullptr && session->handlerActive(),
                       session == nullptr ? error : "handler activation failed")) {
        return;
    }
    CameraDriver driver(*session);
    StressSession(driver, seed).run(report);
    const std::vector<std::string> violations = session->close();
    report->check("stress: no host violations", violations.empty(),
                  violations.empty()
                      ? ""
                      : violations.front() +
                            (violations.size() > 1
                                 ? " (and " + std::to_string(violations.size() - 1) + " more)"
                                 : ""));
}

const std::vector<std::string>& groupNames() {
    static const std::vector<std::string> names = {"activation", "callbacks", "stress"};
    return names;
}

bool runGroup(const std::string& group, const std::string& modulePath, std::uint32_t seed,
              Report* report) {
    if (group == "activation") {
        runActivationGroup(modulePath, report);
    } else if (group == "callbacks") {
        runCallbackGroup(modulePath, report);
    } else if (group == "stress") {
        runStressGroup(modulePath, seed, report);
    } else {
        return false;
    }
    return true;
}

} // namespace hostsim::validate
