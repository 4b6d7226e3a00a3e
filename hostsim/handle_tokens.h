// Handles the stand-in host hands to the module are tokens, not addresses: a kind, the serial of
// the host that issued it and a running number. A token is only ever looked up, never
// dereferenced, so a garbage, stale or foreign handle is recognised instead of crashing the
// process. Numbers are never reused within one host, so a destroyed handle stays recognisable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace hostsim {

enum class HandleKind : unsigned {
    Channel = 1,
    Item = 2,
    ChannelGroup = 3,
    SceneWriter = 4,
    SceneReader = 5,
};

// Layout of a token (32 bits, so it fits the host's 32-bit handle words):
// kind in bits 28-31, issuing host's serial in bits 20-27, number (1 and up) in bits 0-19.
inline constexpr std::uint32_t kMaxHandleNumber = (1u << 20) - 1;

std::uintptr_t makeHandleToken(HandleKind kind, unsigned hostSerial, std::uint32_t number);

// The number of a token of this kind issued by this host, or nothing for any other value.
std::optional<std::uint32_t> handleNumber(std::uintptr_t token, HandleKind kind,
                                          unsigned hostSerial);

// "channel#3", "item#1", "null", or the raw value for anything that is not such a token
// ("0x1234"), with " (other host)" when another host issued it.
std::string handleText(std::uintptr_t token, unsigned hostSerial);

template <class Handle> std::uintptr_t tokenOf(Handle handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

template <class Handle> Handle handleFromToken(std::uintptr_t token) {
    return reinterpret_cast<Handle>(token);
}

} // namespace hostsim
