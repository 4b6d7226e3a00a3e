#include "hostsim/panel_hints.h"

#include <cstdio>

namespace hostsim {

namespace {

std::string hex(std::uintptr_t value) {
    char text[24];
    std::snprintf(text, sizeof(text), "0x%08llX", static_cast<unsigned long long>(value));
    return text;
}

std::uint32_t idWord(std::intptr_t word) {
    return static_cast<std::uint32_t>(word);
}
std::int32_t signedWord(std::intptr_t word) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(word));
}

// Reads one hint's arguments starting at words[at]; false when the array ends before them.
bool readArguments(const PanelHintWord* words, std::size_t maxWords, std::size_t* at,
                   std::uint32_t tag, RawHint* hint, std::string* error) {
    const std::uint32_t count = tag & 0xFF;
    if (count == kHintListCount) {
        while (*at < maxWords && words[*at].value != 0) {
            hint->arguments.push_back(words[(*at)++].value);
        }
        if (*at >= maxWords) {
            *error = "hint " + hex(tag) + ": list without its ending zero word";
            return false;
        }
        ++*at; // the list's zero word
        return true;
    }
    if (*at + count > maxWords) {
        *error = "hint " + hex(tag) + ": the array ends inside its arguments";
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        hint->arguments.push_back(words[(*at)++].value);
    }
    return true;
}

// Files a known hint under its meaning; unknown tags stay in the raw list only. Each known tag's
// low byte fixes its argument count, so the arguments indexed here are always there.
bool interpretHint(const RawHint& hint, ParsedHints* hints, std::string* error) {
    const auto& a = hint.arguments;
    switch (hint.tag) {
    case HINT_GROUP: {
        if (a.empty()) {
            *error = "group hint without a group id";
            return false;
        }
        HintGroup group{idWord(a[0]), {}};
        for (std::size_t i = 1; i < a.size(); ++i) {
            group.members.push_back(idWord(a[i]));
        }
        hints->groups.push_back(group);
        return true;
    }
    case HINT_LABEL: {
        const char* text = reinterpret_cast<const char*>(a[1]);
        if (text == nullptr) {
            *error = "label hint for " + hex(idWord(a[0])) + " with a null text";
            return false;
        }
        hints->labels[idWord(a[0])] = text;
        return true;
    }
    case HINT_PANEL_CALLBACK:
    case HINT_PANEL_CALLBACK_2: {
        PanelEmptyFn callback = reinterpret_cast<PanelEmptyFn>(a[0]);
        if (callback == nullptr) {
            *error = "panel callback hint " + hex(hint.tag) + " with a null callback";
            return false;
        }
        hints->panelCallbacks.push_back(callback);
        return true;
    }
    case HINT_MINIMUM:
        hints->minimums[idWord(a[0])] = signedWord(a[1]);
        return true;
    case HINT_MAXIMUM:
        hints->maximums[idWord(a[0])] = signedWord(a[1]);
        return true;
    case HINT_SETTING:
        hints->settings[idWord(a[0])] = signedWord(a[1]);
        return true;
    case HINT_DRAW_CALLBACK: {
        PanelDrawFn draw = reinterpret_cast<PanelDrawFn>(a[1]);
        if (draw == nullptr) {
            *error = "drawing callback hint for " + hex(idWord(a[0])) + " with a null callback";
            return false;
        }
        hints->drawCallbacks[idWord(a[0])] = draw;
        return true;
    }
    default:
        return true;
    }
}

} // namespace

bool parsePanelHints(const PanelHintWord* words, std::size_t maxWords, ParsedHints* hints,
                     std::string* error) {
    *hints = ParsedHints{};
    if (words == nullptr) {
        *error = "null hint array";
        return false;
    }
    std::size_t at = 0;
    while (at < maxWords) {
        const std::intptr_t tagWord = words[at++].value;
        if (tagWord == 0) {
            hints->wordCount = at;
            return true;
        }
        RawHint hint;
        hint.tag = static_cast<std::uint32_t>(tagWord);
        if (!readArguments(words, maxWords, &at, hint.tag, &hint, error)) {
            hints->wordCount = at;
            return false;
        }
        hints->raw.push_back(hint);
        if (!interpretHint(hint, hints, error)) {
            hints->wordCount = at;
            return false;
        }
    }
    hints->wordCount = at;
    *error =
        "hint array without its ending zero word within " + std::to_string(maxWords) + " words";
    return false;
}

void mergePanelHints(ParsedHints* into, const ParsedHints& more) {
    into->raw.insert(into->raw.end(), more.raw.begin(), more.raw.end());
    into->groups.insert(into->groups.end(), more.groups.begin(), more.groups.end());
    into->panelCallbacks.insert(into->panelCallbacks.end(), more.panelCallbacks.begin(),
                                more.panelCallbacks.end());
    for (const auto& [id, text] : more.labels) {
        into->labels[id] = text;
    }
    for (const auto& [id, limit] : more.minimums) {
        into->minimums[id] = limit;
    }
    for (const auto& [id, limit] : more.maximums) {
        into->maximums[id] = limit;
    }
    for (const auto& [id, value] : more.settings) {
        into->settings[id] = value;
    }
    for (const auto& [id, draw] : more.drawCallbacks) {
        into->drawCallbacks[id] = draw;
    }
    into->wordCount += more.wordCount;
}

} // namespace hostsim
