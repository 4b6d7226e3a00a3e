#include "hostsim/keyed_value.h"

#include <charconv>
#include <cmath>
#include <set>
#include <sstream>

namespace hostsim {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// The whole text as one finite number; "nan", "inf" and trailing characters are refused.
std::optional<double> finiteNumber(const std::string& raw) {
    const std::string text = trimmed(raw);
    if (text.empty()) {
        return std::nullopt;
    }
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (*begin == '+') {
        ++begin;
    }
    double value = 0.0;
    const auto [stop, problem] = std::from_chars(begin, end, value);
    if (problem != std::errc{} || stop != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> splitAt(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator)) {
        parts.push_back(part);
    }
    if (!text.empty() && text.back() == separator) {
        parts.emplace_back(); // a trailing separator leaves an empty, refused part
    }
    return parts;
}

std::string limitsText(ValueLimits limits) {
    std::ostringstream text;
    text << limits.minimum << " to " << limits.maximum;
    return text.str();
}

} // namespace

std::optional<std::vector<Key>> parseKeyedValue(const std::string& text, ValueLimits limits,
                                                double scale, std::string* error) {
    const std::vector<std::string> parts = splitAt(text, ',');
    if (parts.empty()) {
        *error = "no value given";
        return std::nullopt;
    }
    std::vector<Key> keys;
    std::set<double> times;
    for (const std::string& part : parts) {
        const std::vector<std::string> fields = splitAt(part, ':');
        const bool keyed = fields.size() == 2;
        if (!keyed && (fields.size() != 1 || parts.size() != 1)) {
            *error = "'" + part + "' is neither a value nor a key TIME:VALUE";
            return std::nullopt;
        }
        const std::optional<double> time = keyed ? finiteNumber(fields[0]) : 0.0;
        const std::optional<double> value = finiteNumber(fields.back());
        if (!time || !value) {
            *error = "'" + part + "' is not made of finite numbers";
            return std::nullopt;
        }
        if (*value < limits.minimum || *value > limits.maximum) {
            *error = "value " + trimmed(fields.back()) + " is outside " + limitsText(limits);
            return std::nullopt;
        }
        if (!times.insert(*time).second) {
            *error = "time " + trimmed(fields[0]) + " is keyed twice";
            return std::nullopt;
        }
        keys.push_back({*time, *value * scale});
    }
    return keys;
}

} // namespace hostsim
