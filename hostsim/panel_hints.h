// The hint array of a declarative panel, read as the host reads it: a tag word, then as many
// argument words as the tag's low byte says, except the low byte 0x81, whose arguments run up
// to a zero word; a single zero word ends the array.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/service_tables.h"

namespace hostsim {

// Tags the stand-in host understands; others are kept as raw hints only.
enum PanelHintTag : std::uint32_t {
    HINT_GROUP = 0x3D01FE81,            // group id, member ids..., 0
    HINT_LABEL = 0x3D000B03,            // id, text, 0
    HINT_PANEL_CALLBACK = 0x3D000F01,   // callback
    HINT_PANEL_CALLBACK_2 = 0x3D001302, // callback, a word
    HINT_MINIMUM = 0x3D014002,          // id, limit
    HINT_MAXIMUM = 0x3D014102,          // id, limit
    HINT_SETTING = 0x3D014202,          // id, value (a further per-control setting)
    HINT_DRAW_CALLBACK = 0x3D016502,    // id, drawing callback
};
constexpr std::uint32_t kHintListCount = 0x81;

struct RawHint {
    std::uint32_t tag = 0;
    std::vector<std::intptr_t> arguments; // without the zero word ending a list
};

struct HintGroup {
    std::uint32_t id = 0;
    std::vector<std::uint32_t> members;
};

struct ParsedHints {
    std::vector<RawHint> raw; // every hint in array order
    std::vector<HintGroup> groups;
    std::map<std::uint32_t, std::string> labels; // id 0: the panel's title
    std::vector<PanelEmptyFn> panelCallbacks;
    std::map<std::uint32_t, std::int32_t> minimums;
    std::map<std::uint32_t, std::int32_t> maximums;
    std::map<std::uint32_t, std::int32_t> settings;
    std::map<std::uint32_t, PanelDrawFn> drawCallbacks;
    std::size_t wordCount = 0; // words read, the ending zero included
};

// The words are read up to the ending zero but never beyond maxWords: an array that doesn't end
// there, a list without its zero word, or a known hint with unusable arguments (a null text or
// callback) gives false with a message in *error; *hints then holds what came before.
bool parsePanelHints(const PanelHintWord* words, std::size_t maxWords, ParsedHints* hints,
                     std::string* error);

// Merges hints given in a later call into those of earlier calls; later values win.
void mergePanelHints(ParsedHints* into, const ParsedHints& more);

} // namespace hostsim
