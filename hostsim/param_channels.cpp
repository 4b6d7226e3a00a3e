#include "hostsim/param_channels.h"

#include <stdexcept>

#include "hostsim/handle_tokens.h"
#include "hostsim/sim_host.h"

namespace hostsim {

namespace {

constexpr const char* kService = SERVICE_VPARM_FUNCS;

bool isKnownTypeCode(int typeCode) {
    return typeCode == CHANNEL_FLOAT || typeCode == CHANNEL_PERCENT || typeCode == CHANNEL_ANGLE;
}

// The table's entry points: each finds the current host and hands the call to its channels.
ParamChannel HOSTCALL channelCreate(int typeCode, int flags) {
    SimHost* host = SimHost::current();
    if (host == nullptr) {
        SimHost::reportOrphanCall("LWVParmFuncs 2.create");
        return nullptr;
    }
    return host->channels().create(typeCode, flags);
}

void HOSTCALL channelDestroy(ParamChannel channel) {
    SimHost* host = SimHost::current();
    if (host == nullptr) {
        SimHost::reportOrphanCall("LWVParmFuncs 2.destroy");
        return;
    }
    host->channels().destroy(channel);
}

int HOSTCALL channelSetup(ParamChannel channel, const char* name, ChannelGroup group, void* zero1,
                          void* zero2, void* zero3, void* zero4) {
    SimHost* host = SimHost::current();
    if (host == nullptr) {
        SimHost::reportOrphanCall("LWVParmFuncs 2.setup");
        return 0;
    }
    return host->channels().setup(channel, name, group, {zero1, zero2, zero3, zero4});
}

HostError HOSTCALL channelCopy(ParamChannel destination, ParamChannel source) {
    SimHost* host = SimHost::current();
    if (host == nullptr) {
        SimHost::reportOrphanCall("LWVParmFuncs 2.copy");
        return "hostsim: no host";
    }
    return host->channels().copy(destination, source);
}

HostError HOSTCALL channelLoad(ParamChannel channel, const SceneLoadRecord* scene) {
    SimHost* host = SimHost::current();
    if (host == nullptr) {
        SimHost::reportOrphanCall("LWVParmFuncs 2.load");
        return "hostsim: no host";
    }
    return host->channels().load(channel, scene);
}

HostError HOSTCALL channelSave(ParamChannel channel, const SceneSaveRecord* scene) {
    SimHost* host = SimHost::current();
    if (host == nullptr) {
        SimHost::reportOrphanCall("LWVParmFuncs 2.save");
        return "hostsim: no host";
    }
    return host->channels().save(channel, scene);
}

double HOSTCALL channelGetValue(ParamChannel channel, double time, void* zero, double* values) {
    SimHost* host = SimHost::current();
    if (host == nullptr) {
        SimHost::reportOrphanCall("LWVParmFuncs 2.getValue");
        return 0.0;
    }
    return host->channels().getValue(channel, time, zero, values);
}

int HOSTCALL channelSetValue(ParamChannel channel, const double* value) {
    SimHost* host = SimHost::current();
    if (host == nullptr) {
        SimHost::reportOrphanCall("LWVParmFuncs 2.setValue");
        return 0;
    }
    return host->channels().setValue(channel, value);
}

constexpr VParmFuncs kTable = {channelCreate, channelDestroy, channelSetup,    channelCopy,
                               channelLoad,   channelSave,    channelGetValue, channelSetValue};

} // namespace

const VParmFuncs* ParamChannels::table() {
    return &kTable;
}

// --- Lookup of handles ---------------------------------------------------------------------------

const ParamChannels::Channel* ParamChannels::knownChannel(ParamChannel channel) const {
    const auto number = handleNumber(tokenOf(channel), HandleKind::Channel, host_.serial());
    if (!number || *number > channels_.size()) {
        return nullptr;
    }
    return &channels_[*number - 1];
}

ParamChannels::Channel* ParamChannels::liveChannel(ParamChannel channel, const char* operation) {
    const Channel* known = knownChannel(channel);
    if (known == nullptr) {
        host_.reportViolation(std::string(kService) + "." + operation + ": " + text(channel) +
                              " is not a channel of this host");
        return nullptr;
    }
    if (!known->info.alive) {
        host_.reportViolation(std::string(kService) + "." + operation + ": " + text(channel) +
                              " used after it was destroyed");
        return nullptr;
    }
    return const_cast<Channel*>(known);
}

ParamChannels::Channel* ParamChannels::liveChannelForTest(ParamChannel channel,
                                                          const char* operation) {
    const Channel* known = knownChannel(channel);
    if (known == nullptr || !known->info.alive) {
        throw std::invalid_argument(std::string("hostsim: ParamChannels::") + operation + ": " +
                                    text(channel) + " is not a live channel");
    }
    return const_cast<Channel*>(known);
}

std::string ParamChannels::text(ParamChannel channel) const {
    return handleText(tokenOf(channel), host_.serial());
}

void ParamChannels::logCall(const char* operation, std::vector<std::string> arguments) {
    host_.log().record(kService, operation, std::move(arguments));
}

// --- Inspection ----------------------------------------------------------------------------------

std::size_t ParamChannels::aliveCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t count = 0;
    for (const Channel& channel : channels_) {
        count += channel.info.alive ? 1 : 0;
    }
    return count;
}

std::vector<ParamChannel> ParamChannels::created() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<ParamChannel> handles;
    for (const Channel& channel : channels_) {
        handles.push_back(channel.info.handle);
    }
    return handles;
}

std::vector<ParamChannel> ParamChannels::alive() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<ParamChannel> handles;
    for (const Channel& channel : channels_) {
        if (channel.info.alive) {
            handles.push_back(channel.info.handle);
        }
    }
    return handles;
}

std::optional<ChannelInfo> ParamChannels::info(ParamChannel channel) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const Channel* known = knownChannel(channel);
    if (known == nullptr) {
        return std::nullopt;
    }
    ChannelInfo snapshot = known->info;
    snapshot.keys = known->curve.keys();
    return snapshot;
}

bool ParamChannels::destroyedExactlyOnce(ParamChannel channel) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const Channel* known = knownChannel(channel);
    return known != nullptr && !known->info.alive && known->info.destroyCount == 1;
}

int ParamChannels::createCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return createCalls_;
}

// --- Animation from the test side ----------------------------------------------------------------

void ParamChannels::setKeys(ParamChannel channel, std::vector<Key> keys) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!liveChannelForTest(channel, "setKeys")->curve.setKeys(std::move(keys))) {
        throw std::invalid_argument("hostsim: ParamChannels::setKeys: a key time is NaN");
    }
}

void ParamChannels::setKey(ParamChannel channel, double time, double value) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!liveChannelForTest(channel, "setKey")->curve.setKey(time, value)) {
        throw std::invalid_argument("hostsim: ParamChannels::setKey: the key time is NaN");
    }
}

double ParamChannels::valueAt(ParamChannel channel, double time) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const Channel* known = knownChannel(channel);
    if (known == nullptr) {
        throw std::invalid_argument("hostsim: ParamChannels::valueAt: " + text(channel) +
                                    " is not a channel of this host");
    }
    return known->curve.valueAt(time);
}

// --- Failure hooks -------------------------------------------------------------------------------

void ParamChannels::refuseCreate(int nthFromNow) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (nthFromNow >= 1) {
        refusedCreates_.insert(createCalls_ + nthFromNow);
    }
}

void ParamChannels::setFailure(Failing kind, ParamChannel channel, std::string errorText) {
    const char* kept = host_.keepText(std::move(errorText));
    std::lock_guard<std::mutex> lock(mutex_);
    failures_[{kind, tokenOf(channel)}] = kept;
}

void ParamChannels::failLoad(ParamChannel channel, std::string errorText) {
    setFailure(Failing::Load, channel, std::move(errorText));
}

void ParamChannels::failSave(ParamChannel channel, std::string errorText) {
    setFailure(Failing::Save, channel, std::move(errorText));
}

void ParamChannels::failCopy(ParamChannel destination, std::string errorText) {
    setFailure(Failing::Copy, destination, std::move(errorText));
}

void ParamChannels::clearFailures() {
    std::lock_guard<std::mutex> lock(mutex_);
    failures_.clear();
}

const char* ParamChannels::failureFor(Failing kind, ParamChannel channel) const {
    const auto found = failures_.find({kind, tokenOf(channel)});
    return found != failures_.end() ? found->second : nullptr;
}

int ParamChannels::reportLeaks() {
    std::lock_guard<std::mutex> lock(mutex_);
    int leaks = 0;
    for (const Channel& channel : channels_) {
        if (channel.info.alive) {
            ++leaks;
            host_.reportViolation(std::string(kService) + ": leak: " + text(channel.info.handle) +
                                  " \"" + channel.info.name + "\" was never destroyed");
        }
    }
    return leaks;
}

// --- The host side -------------------------------------------------------------------------------

ParamChannel ParamChannels::create(int typeCode, int flags) {
    logCall("create", {std::to_string(typeCode), std::to_string(flags)});
    std::lock_guard<std::mutex> lock(mutex_);
    ++createCalls_;
    if (refusedCreates_.erase(createCalls_) != 0) {
        return nullptr;
    }
    if (!isKnownTypeCode(typeCode)) {
        host_.reportViolation(std::string(kService) + ".create: unknown type code " +
                              std::to_string(typeCode));
        return nullptr;
    }
    if (channels_.size() >= kMaxHandleNumber) {
        host_.reportViolation(std::string(kService) + ".create: out of channel handles");
        return nullptr;
    }
    const auto number = static_cast<std::uint32_t>(channels_.size() + 1);
    Channel channel;
    channel.info.handle =
        handleFromToken<ParamChannel>(makeHandleToken(HandleKind::Channel, host_.serial(), number));
    channel.info.typeCode = typeCode;
    channel.info.flags = flags;
    channel.info.alive = true;
    channels_.push_back(std::move(channel));
    return channels_.back().info.handle;
}

void ParamChannels::destroy(ParamChannel channel) {
    logCall("destroy", {text(channel)});
    std::lock_guard<std::mutex> lock(mutex_);
    Channel* known = const_cast<Channel*>(knownChannel(channel));
    if (known == nullptr) {
        host_.reportViolation(std::string(kService) + ".destroy: " + text(channel) +
                              " is not a channel of this host");
        return;
    }
    ++known->info.destroyCount;
    if (!known->info.alive) {
        host_.reportViolation(std::string(kService) + ".destroy: " + text(channel) +
                              " destroyed again (" + std::to_string(known->info.destroyCount) +
                              " times)");
        return;
    }
    known->info.alive = false;
}

int ParamChannels::setup(ParamChannel channel, const char* name, ChannelGroup group,
                         const std::array<void*, 4>& words) {
    logCall("setup", {text(channel), name != nullptr ? name : "(null)",
                      handleText(tokenOf(group), host_.serial()), pointerText(words[0]),
                      pointerText(words[1]), pointerText(words[2]), pointerText(words[3])});
    std::lock_guard<std::mutex> lock(mutex_);
    Channel* live = liveChannel(channel, "setup");
    if (live == nullptr) {
        return 0;
    }
    if (name == nullptr) {
        host_.reportViolation(std::string(kService) + ".setup: null name for " + text(channel));
        return 0;
    }
    if (group != nullptr && !host_.cameras().isChannelGroup(group)) {
        host_.reportViolation(std::string(kService) +
                              ".setup: " + handleText(tokenOf(group), host_.serial()) +
                              " is not a channel group of this host");
    }
    for (void* word : words) {
        if (word != nullptr) {
            host_.reportViolation(std::string(kService) + ".setup: " + text(channel) +
                                  " set up with a non-zero word after the group");
            break;
        }
    }
    if (live->info.setupCount > 0) {
        host_.reportViolation(std::string(kService) + ".setup: " + text(channel) + " set up again");
    }
    ++live->info.setupCount;
    live->info.name = name;
    live->info.group = group;
    live->info.setupWords = words;
    return 1;
}

HostError ParamChannels::copy(ParamChannel destination, ParamChannel source) {
    logCall("copy", {text(destination), text(source)});
    std::lock_guard<std::mutex> lock(mutex_);
    Channel* to = liveChannel(destination, "copy");
    Channel* from = liveChannel(source, "copy");
    if (to == nullptr || from == nullptr) {
        return host_.keepText("hostsim: copy between channels that do not exist");
    }
    if (const char* failure = failureFor(Failing::Copy, destination)) {
        return failure;
    }
    if (to->info.typeCode != from->info.typeCode) {
        host_.reportViolation(std::string(kService) + ".copy: " + text(source) + " (type " +
                              std::to_string(from->info.typeCode) + ") copied into " +
                              text(destination) + " (type " + std::to_string(to->info.typeCode) +
                              ")");
    }
    to->curve = from->curve;
    return nullptr;
}

HostError ParamChannels::load(ParamChannel channel, const SceneLoadRecord* scene) {
    logCall("load", {text(channel), pointerText(scene)});
    std::lock_guard<std::mutex> lock(mutex_);
    Channel* live = liveChannel(channel, "load");
    if (live == nullptr) {
        return host_.keepText("hostsim: load into a channel that does not exist");
    }
    if (const char* failure = failureFor(Failing::Load, channel)) {
        return failure;
    }
    SavedChannel saved;
    if (HostError error = host_.scenes().readChannel(scene, &saved)) {
        return error;
    }
    // Entries are read in order; a different name or type means the module loads its channels
    // in another order than it saved them.
    if (saved.name != live->info.name || saved.typeCode != live->info.typeCode) {
        return host_.keepText("hostsim: the scene's next channel is \"" + saved.name + "\" (type " +
                              std::to_string(saved.typeCode) + "), not the one being loaded, \"" +
                              live->info.name + "\" (type " + std::to_string(live->info.typeCode) +
                              ")");
    }
    live->curve.setKeys(std::move(saved.keys));
    return nullptr;
}

HostError ParamChannels::save(ParamChannel channel, const SceneSaveRecord* scene) {
    logCall("save", {text(channel), pointerText(scene)});
    std::lock_guard<std::mutex> lock(mutex_);
    Channel* live = liveChannel(channel, "save");
    if (live == nullptr) {
        return host_.keepText("hostsim: save of a channel that does not exist");
    }
    if (const char* failure = failureFor(Failing::Save, channel)) {
        return failure;
    }
    return host_.scenes().writeChannel(
        scene, SavedChannel{live->info.name, live->info.typeCode, live->curve.keys()});
}

double ParamChannels::getValue(ParamChannel channel, double time, void* zero, double* values) {
    logCall("getValue", {text(channel), numberText(time), pointerText(zero)});
    std::lock_guard<std::mutex> lock(mutex_);
    const Channel* live = liveChannel(channel, "getValue");
    if (live == nullptr) {
        return 0.0;
    }
    if (zero != nullptr) {
        host_.reportViolation(std::string(kService) + ".getValue: " + text(channel) +
                              " asked with a non-null third argument");
    }
    const double value = live->curve.valueAt(time);
    if (values == nullptr) {
        host_.reportViolation(std::string(kService) + ".getValue: " + text(channel) +
                              " asked with no place for the value");
        return value;
    }
    values[0] = value;
    return value;
}

int ParamChannels::setValue(ParamChannel channel, const double* value) {
    logCall("setValue", {text(channel), value != nullptr ? numberText(*value) : "(null)"});
    std::lock_guard<std::mutex> lock(mutex_);
    Channel* live = liveChannel(channel, "setValue");
    if (live == nullptr) {
        return 0;
    }
    if (value == nullptr) {
        host_.reportViolation(std::string(kService) + ".setValue: null value for " + text(channel));
        return 0;
    }
    live->curve.setConstant(*value);
    return 1;
}

} // namespace hostsim
