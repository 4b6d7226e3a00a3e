// One fuzz input played as a host session with the camera module linked in: the stand-in host
// with its panel service, the handler activated into host-owned (guarded) records, and a
// sequence of host actions read from the input: instances made, copied, saved, loaded and
// destroyed, frames with hostile timing and camera data, rays, previews, panel reads and writes,
// thumbnails, services taken away and activations repeated. After every action the module's
// results are checked; at the end every channel must have been destroyed exactly once and the
// host must have recorded no violation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/hostile_input.h"
#include "host/host_records.h"
#include "hostsim/guarded_record.h"
#include "hostsim/sim_host.h"
#include "hostsim/xpanel_service.h"
#include "model/camera_instance.h"

namespace vellary_fuzz {

// The build variant linked into this fuzz binary (1, 2 or 3): what a ray's directions must be.
int linkedBuildVariant();

class CameraFuzzSession {
  public:
    explicit CameraFuzzSession(HostileInput& input);
    ~CameraFuzzSession();
    CameraFuzzSession(const CameraFuzzSession&) = delete;
    CameraFuzzSession& operator=(const CameraFuzzSession&) = delete;

    // Plays actions until the input runs out (or a bound on actions is reached), then closes.
    void run();

  private:
    struct LiveInstance {
        HostInstance instance;
        HostItemId item;
    };
    struct LivePanel {
        XPanel panel;
        HostInstance instance;
    };

    void playOneAction();
    void activateHandlerAgain();
    void toggleService();
    void createInstance();
    void destroyInstance();
    void copyInstance();
    void saveAndLoad();
    void loadWrittenScene();
    void animateChannel();
    void changeCamera();
    void newFrame();
    void evaluateRays();
    void preview();
    void describeAndFlags();
    void openPanel();
    void closePanel();
    void panelValues();
    void drawThumbnail();
    void setHostTime();
    void close();

    CameraInstance* pickInstance();
    LiveInstance* pickLive();
    HostItemId pickCamera();
    void closePanelsOf(HostInstance instance);
    // After a load: values the read delivered are taken (all of them when exact, since the scene
    // held what was asked), every other field is unchanged.
    void checkLoadResult(const CameraInstance& before, const CameraInstance& after,
                         HostError result, const std::vector<float>& delivered, bool exact);
    std::string scenePath(const char* what) const;

    HostileInput& input_;
    std::unique_ptr<hostsim::SimHost> host_;
    std::unique_ptr<hostsim::XPanelService> panels_;
    hostsim::GuardedRecord<InstanceCallbackTable> instanceTable_{"InstanceCallbackTable"};
    hostsim::GuardedRecord<HandlerCallbackTable> handler_{"HandlerCallbackTable"};
    bool handlerActive_ = false;
    bool interfaceActive_ = false;
    std::vector<HostItemId> cameras_;
    std::vector<LiveInstance> instances_;
    std::vector<LivePanel> openPanels_;
    std::vector<ParamChannel> destroyedChannels_;
    bool closed_ = false;
};

} // namespace vellary_fuzz
