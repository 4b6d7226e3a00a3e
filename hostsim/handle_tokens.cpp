#include "hostsim/handle_tokens.h"

#include <cstdio>

namespace hostsim {

namespace {

constexpr unsigned kKindShift = 28;
constexpr unsigned kSerialShift = 20;
constexpr std::uint32_t kSerialMask = 0xFFu;

const char* kindName(unsigned kind) {
    switch (static_cast<HandleKind>(kind)) {
    case HandleKind::Channel:
        return "channel";
    case HandleKind::Item:
        return "item";
    case HandleKind::ChannelGroup:
        return "group";
    case HandleKind::SceneWriter:
        return "sceneWriter";
    case HandleKind::SceneReader:
        return "sceneReader";
    }
    return nullptr;
}

std::string rawText(std::uintptr_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

} // namespace

std::uintptr_t makeHandleToken(HandleKind kind, unsigned hostSerial, std::uint32_t number) {
    const std::uint32_t token = (static_cast<std::uint32_t>(kind) << kKindShift) |
                                ((hostSerial & kSerialMask) << kSerialShift) |
                                (number & kMaxHandleNumber);
    return token;
}

std::optional<std::uint32_t> handleNumber(std::uintptr_t token, HandleKind kind,
                                          unsigned hostSerial) {
    if (token > 0xFFFFFFFFu) {
        return std::nullopt;
    }
    const std::uint32_t word = static_cast<std::uint32_t>(token);
    const std::uint32_t number = word & kMaxHandleNumber;
    if ((word >> kKindShift) != static_cast<std::uint32_t>(kind) ||
        ((word >> kSerialShift) & kSerialMask) != (hostSerial & kSerialMask) || number == 0) {
        return std::nullopt;
    }
    return number;
}

std::string handleText(std::uintptr_t token, unsigned hostSerial) {
    if (token == 0) {
        return "null";
    }
    if (token > 0xFFFFFFFFu) {
        return rawText(token);
    }
    const std::uint32_t word = static_cast<std::uint32_t>(token);
    const char* kind = kindName(word >> kKindShift);
    const std::uint32_t number = word & kMaxHandleNumber;
    if (kind == nullptr || number == 0) {
        return rawText(token);
    }
    std::string text = std::string(kind) + "#" + std::to_string(number);
    if (((word >> kSerialShift) & kSerialMask) != (hostSerial & kSerialMask)) {
        text += " (other host)";
    }
    return text;
}

} // namespace hostsim
