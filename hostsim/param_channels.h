// The host's animatable parameter channels ("LWVParmFuncs 2"): the service table the module
// calls, and the test side that inspects channels, animates them and makes operations fail.
//
// Channels hold real animation (a KeyCurve). Every handle is a token (handle_tokens.h); an
// unknown, foreign or destroyed handle, a double destroy or a bad argument is recorded as a
// violation and answered harmlessly (null, 0, or an error text), never dereferenced.
#pragma once

#include <array>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/service_tables.h"
#include "hostsim/key_curve.h"

namespace hostsim {

class SimHost;

// A snapshot of one channel, as a test sees it.
struct ChannelInfo {
    ParamChannel handle = nullptr;
    int typeCode = 0;                  // as given to create: 16 float, 32 percent, 64 angle
    int flags = 0;                     // the second argument of create (the module passes -1)
    bool alive = false;                // created and not yet destroyed
    int destroyCount = 0;              // how often destroy was called on it (1 once destroyed)
    int setupCount = 0;                // how often setup was called on it
    std::string name;                  // from setup
    ChannelGroup group = nullptr;      // from setup
    std::array<void*, 4> setupWords{}; // the four words after the group (should be zero)
    std::vector<Key> keys;             // its animation
};

class ParamChannels {
  public:
    explicit ParamChannels(SimHost& host) : host_(host) {}

    // The table the global lookup answers for "LWVParmFuncs 2".
    static const VParmFuncs* table();

    // --- Inspection --------------------------------------------------------------------------
    std::size_t aliveCount() const;
    std::vector<ParamChannel> created() const; // every channel ever created, in creation order
    std::vector<ParamChannel> alive() const;   // those not destroyed, in creation order
    std::optional<ChannelInfo> info(ParamChannel channel) const; // nothing for a foreign handle
    bool destroyedExactlyOnce(ParamChannel channel) const;
    int createCalls() const; // create calls so far, refused ones included

    // --- Animation from the test side (not logged, no violations; a handle that is not a live
    // channel of this host throws std::invalid_argument) -------------------------------------
    void setKeys(ParamChannel channel, std::vector<Key> keys);
    void setKey(ParamChannel channel, double time, double value);
    double valueAt(ParamChannel channel, double time) const;

    // --- Failure hooks -----------------------------------------------------------------------
    // The nth create call from now (1 = the next one) returns null. May be given several times.
    void refuseCreate(int nthFromNow);
    // Loading, saving or copying into this channel returns this error text (and does nothing)
    // until cleared with clearFailures(). The text returned is the same pointer every time.
    void failLoad(ParamChannel channel, std::string errorText);
    void failSave(ParamChannel channel, std::string errorText);
    void failCopy(ParamChannel destination, std::string errorText);
    void clearFailures();

    // Reports every live channel as a leak violation; returns how many there were.
    int reportLeaks();

    // --- The host side, behind the service table ---------------------------------------------
    ParamChannel create(int typeCode, int flags);
    void destroy(ParamChannel channel);
    int setup(ParamChannel channel, const char* name, ChannelGroup group,
              const std::array<void*, 4>& words);
    HostError copy(ParamChannel destination, ParamChannel source);
    HostError load(ParamChannel channel, const SceneLoadRecord* scene);
    HostError save(ParamChannel channel, const SceneSaveRecord* scene);
    double getValue(ParamChannel channel, double time, void* zero, double* values);
    int setValue(ParamChannel channel, const double* value);

  private:
    struct Channel {
        ChannelInfo info;
        KeyCurve curve;
    };
    enum class Failing { Load, Save, Copy };

    // The live channel behind a handle, or null after reporting why not to the violations.
    Channel* liveChannel(ParamChannel channel, const char* operation);
    Channel* liveChannelForTest(ParamChannel channel, const char* operation);
    const Channel* knownChannel(ParamChannel channel) const;
    std::string text(ParamChannel channel) const;
    void logCall(const char* operation, std::vector<std::string> arguments);
    const char* failureFor(Failing kind, ParamChannel channel) const;
    void setFailure(Failing kind, ParamChannel channel, std::string errorText);

    SimHost& host_;
    mutable std::mutex mutex_;
    std::vector<Channel> channels_; // channel number n at index n - 1
    int createCalls_ = 0;
    std::set<int> refusedCreates_; // create call numbers (1-based) that return null
    std::map<std::pair<Failing, std::uintptr_t>, const char*> failures_;
};

} // namespace hostsim
