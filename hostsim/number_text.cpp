#include "hostsim/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace hostsim {

namespace {

constexpr std::string_view kNanPrefix = "nan:";

template <class Bits, class Real> std::string nanText(Real value) {
    Bits bits;
    std::memcpy(&bits, &value, sizeof bits);
    char digits[2 * sizeof(Bits) + 1];
    const auto end = std::to_chars(digits, digits + sizeof digits, bits, 16).ptr;
    return std::string(kNanPrefix) + std::string(digits, end);
}

template <class Real> std::string realText(Real value) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

template <class Bits, class Real> bool parseNan(std::string_view text, Real* value) {
    text.remove_prefix(kNanPrefix.size());
    Bits bits = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), bits, 16);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
        return false;
    }
    Real real;
    std::memcpy(&real, &bits, sizeof real);
    if (!std::isnan(real)) {
        return false;
    }
    *value = real;
    return true;
}

template <class Bits, class Real> bool parseReal(std::string_view text, Real* value) {
    if (text.starts_with(kNanPrefix)) {
        return parseNan<Bits>(text, value);
    }
    Real real;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), real);
    // A bare "nan" is refused: the writer always gives the payload.
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || std::isnan(real)) {
        return false;
    }
    *value = real;
    return true;
}

} // namespace

std::string doubleText(double value) {
    return std::isnan(value) ? nanText<std::uint64_t>(value) : realText(value);
}

std::string floatText(float value) {
    return std::isnan(value) ? nanText<std::uint32_t>(value) : realText(value);
}

bool parseDouble(std::string_view text, double* value) {
    return parseReal<std::uint64_t>(text, value);
}

bool parseFloat(std::string_view text, float* value) {
    return parseReal<std::uint32_t>(text, value);
}

} // namespace hostsim
