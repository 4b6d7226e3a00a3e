// Calls into the module the way the real host does. The host was built by another compiler and
// only keeps the stack 4-byte aligned when it calls a module; a module that assumed the usual
// 16 bytes would crash on its first aligned SSE store to the stack. On 32-bit Windows every call
// the stand-in host makes into the module therefore goes through a trampoline that calls with
// the stack at 4 mod 16. Elsewhere (the native build) the call is a plain call.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "host/host_types.h"

namespace hostsim {

#if VELLARY_HOST_ABI_32
#define HOSTSIM_MISALIGNED_CALLS 1
extern "C" {
// Copies count 32-bit argument words onto a stack whose address at the call is 4 mod 16,
// calls function (cdecl) and returns its eax.
std::uint32_t hostsim_call_misaligned(const void* function, const std::uint32_t* words, int count);
// The stack address at which a call through the trampoline finds its first argument word,
// for tests of the trampoline itself.
std::uint32_t hostsim_misaligned_argument_address(void);
}
#else
#define HOSTSIM_MISALIGNED_CALLS 0
#endif

namespace detail {

#if HOSTSIM_MISALIGNED_CALLS
constexpr int kMaxArgumentWords = 32;

template <typename T> constexpr int wordsOf() {
    static_assert(sizeof(T) == 4 || sizeof(T) == 8, "cdecl arguments are 4 or 8 bytes here");
    return static_cast<int>(sizeof(T) / 4);
}

template <typename T> void packWords(std::uint32_t*& out, T value) {
    std::memcpy(out, &value, sizeof(T));
    out += wordsOf<T>();
}

template <typename R> R resultFromEax(std::uint32_t eax) {
    if constexpr (std::is_void_v<R>) {
        (void)eax;
    } else {
        static_assert(sizeof(R) == 4 && !std::is_floating_point_v<R>,
                      "the trampoline returns eax only: no doubles, no 64-bit results");
        R result;
        std::memcpy(&result, &eax, sizeof(R));
        return result;
    }
}
#endif

} // namespace detail

// Calls a module function with the host's stack alignment. The arguments are converted to the
// function's parameter types first, so doubles travel as two words as cdecl wants.
template <typename R, typename... Params, typename... Args>
R callModule(R(HOSTCALL* function)(Params...), Args&&... args) {
    static_assert(sizeof...(Params) == sizeof...(Args), "argument count");
#if HOSTSIM_MISALIGNED_CALLS
    constexpr int count = (0 + ... + detail::wordsOf<Params>());
    static_assert(count <= detail::kMaxArgumentWords, "too many argument words");
    std::uint32_t words[count > 0 ? count : 1] = {};
    [[maybe_unused]] std::uint32_t* out = words;
    (detail::packWords<Params>(out, static_cast<Params>(args)), ...);
    const std::uint32_t eax =
        hostsim_call_misaligned(reinterpret_cast<const void*>(function), words, count);
    return detail::resultFromEax<R>(eax);
#else
    return function(static_cast<Params>(args)...);
#endif
}

} // namespace hostsim
