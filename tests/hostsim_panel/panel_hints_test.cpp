// The host's reading of hint arrays: the module's own panel hints, and arrays a faulty module
// could hand over, which the host must reject without reading past their end.
#include <cstdint>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/module_descriptor.h"
#include "hostsim/panel_hints.h"
#include "panel/panel_tables.h"
#include "panel/tilt_thumbnail.h"

namespace {

using hostsim::HintGroup;
using hostsim::ParsedHints;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::Pair;

PanelHintWord word(std::intptr_t value) {
    return PanelHintWord{.value = value};
}

MATCHER_P2(IsGroup, id, members, "") {
    return arg.id == id && arg.members == members;
}

TEST(PanelHints, TheModulesHintsParseToTheirGroupsTitleLimitsAndCallbacks) {
    ParsedHints hints;
    std::string error;
    ASSERT_TRUE(hostsim::parsePanelHints(panelHints, PANEL_HINT_WORD_COUNT, &hints, &error))
        << error;
    EXPECT_EQ(hints.wordCount, static_cast<std::size_t>(PANEL_HINT_WORD_COUNT));
    EXPECT_EQ(hints.raw.size(), 18u);
    using Ids = std::vector<std::uint32_t>;
    EXPECT_THAT(hints.groups,
                ElementsAre(IsGroup(0x8008u, Ids{0x8001, 0x8002}),
                            IsGroup(0x8009u, Ids{0x8003, 0x8004}),
                            IsGroup(0x800Au, Ids{0x8005, 0x8006}), IsGroup(0x800Bu, Ids{0x8007})));
    EXPECT_THAT(hints.labels, ElementsAre(Pair(0u, "Vellary Camera")));
    EXPECT_THAT(hints.panelCallbacks, ElementsAre(moduleShutdown, moduleShutdown));
    EXPECT_THAT(hints.minimums,
                ElementsAre(Pair(0x8001u, 0), Pair(0x8003u, -1000), Pair(0x8004u, -1000),
                            Pair(0x8005u, -360), Pair(0x8006u, -90)));
    EXPECT_THAT(hints.maximums, ElementsAre(Pair(0x8003u, 1000), Pair(0x8004u, 1000),
                                            Pair(0x8005u, 360), Pair(0x8006u, 90)));
    EXPECT_THAT(hints.settings, ElementsAre(Pair(0x8001u, 1)));
    EXPECT_THAT(hints.drawCallbacks, ElementsAre(Pair(0x8007u, drawTiltThumbnail)));
    // The second panel callback's zero word is an argument, not the end of the array.
    ASSERT_GE(hints.raw.size(), 7u);
    EXPECT_EQ(hints.raw[6].tag, hostsim::HINT_PANEL_CALLBACK_2);
    EXPECT_EQ(hints.raw[6].arguments.size(), 2u);
}

TEST(PanelHints, ReadingStopsAtTheEndingZeroWord) {
    // Words after the ending zero are never read as hints.
    const std::vector<PanelHintWord> words = {
        word(hostsim::HINT_MINIMUM), word(0x8001), word(5), word(0),
        word(hostsim::HINT_MAXIMUM), word(0x8001), word(9), word(0)};
    ParsedHints hints;
    std::string error;
    ASSERT_TRUE(hostsim::parsePanelHints(words.data(), words.size(), &hints, &error)) << error;
    EXPECT_EQ(hints.wordCount, 4u);
    EXPECT_THAT(hints.minimums, ElementsAre(Pair(0x8001u, 5)));
    EXPECT_TRUE(hints.maximums.empty());
}

TEST(PanelHints, UnknownTagsAreSkippedByTheirCount) {
    const std::vector<PanelHintWord> words = {
        word(0x3D7F0003), word(0),          word(0),
        word(0),          word(0x3D7F0081), word(0x8001),
        word(0x8002),     word(0),          word(hostsim::HINT_MAXIMUM),
        word(0x8006),     word(90),         word(0)};
    ParsedHints hints;
    std::string error;
    ASSERT_TRUE(hostsim::parsePanelHints(words.data(), words.size(), &hints, &error)) << error;
    EXPECT_EQ(hints.raw.size(), 3u);
    EXPECT_THAT(hints.maximums, ElementsAre(Pair(0x8006u, 90)));
}

TEST(PanelHints, MalformedArraysAreRejectedWithinTheirBounds) {
    struct Case {
        const char* what;
        std::vector<PanelHintWord> words;
        const char* message;
    };
    const Case cases[] = {
        {"no ending zero", {word(hostsim::HINT_MINIMUM), word(0x8001), word(0)}, "ending zero"},
        {"list without zero", {word(hostsim::HINT_GROUP), word(0x8008), word(0x8001)}, "list"},
        {"arguments past the end", {word(hostsim::HINT_LABEL), word(0)}, "inside its arguments"},
        {"null title",
         {word(hostsim::HINT_LABEL), word(0), word(0), word(0), word(0)},
         "null text"},
        {"null drawing callback",
         {word(hostsim::HINT_DRAW_CALLBACK), word(0x8007), word(0), word(0)},
         "null callback"},
        {"null panel callback",
         {word(hostsim::HINT_PANEL_CALLBACK), word(0), word(0)},
         "null callback"},
        {"empty group", {word(hostsim::HINT_GROUP), word(0), word(0)}, "group id"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ParsedHints hints;
        std::string error;
        EXPECT_FALSE(hostsim::parsePanelHints(c.words.data(), c.words.size(), &hints, &error));
        EXPECT_THAT(error, HasSubstr(c.message));
        EXPECT_LE(hints.wordCount, c.words.size());
    }
    ParsedHints hints;
    std::string error;
    EXPECT_FALSE(hostsim::parsePanelHints(nullptr, 10, &hints, &error));
}

} // namespace
