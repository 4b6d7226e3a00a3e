// The three constant tables the host's panel service reads, word for word.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/module_descriptor.h"
#include "panel/panel_tables.h"
#include "panel/tilt_thumbnail.h"

namespace {

struct Row {
    std::uint32_t id;
    const char* text;
    const char* type;
};

void expectRows(const PanelControl* table, const std::vector<Row>& expected) {
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        EXPECT_EQ(expected[i].id, table[i].id);
        ASSERT_NE(nullptr, table[i].label);
        ASSERT_NE(nullptr, table[i].type);
        EXPECT_STREQ(expected[i].text, table[i].label);
        EXPECT_STREQ(expected[i].type, table[i].type);
    }
    const PanelControl& end = table[expected.size()];
    EXPECT_EQ(0u, end.id);
    EXPECT_EQ(nullptr, end.label);
    EXPECT_EQ(nullptr, end.type);
}

TEST(PanelTables, ControlsInOrderWithEmptyLabelsForReadoutAndThumbnail) {
    expectRows(panelControls, {{0x8001, "Zoom Factor", "float-env"},
                               {0x8002, "", "sInfo"},
                               {0x8003, "Horizontal Shift", "percent-env"},
                               {0x8004, "Vertical Shift", "percent-env"},
                               {0x8005, "Direction", "angle-env"},
                               {0x8006, "Angle", "angle-env"},
                               {0x8007, "", "dThumbnail"}});
}

TEST(PanelTables, DataDescriptionHasNoThumbnailRow) {
    expectRows(panelDataDescription, {{0x8001, "", "float-env"},
                                      {0x8002, "", "string"},
                                      {0x8003, "", "percent-env"},
                                      {0x8004, "", "percent-env"},
                                      {0x8005, "", "angle-env"},
                                      {0x8006, "", "angle-env"}});
}

TEST(PanelTables, HintsWordForWord) {
    // Address words are compared by what they point to: the title by content, callbacks by
    // function.
    enum Kind { Value, Title, EmptyCallback, DrawCallback };
    struct Word {
        Kind kind;
        std::intptr_t value;
    };
    auto v = [](std::intptr_t x) { return Word{Value, x}; };
    const Word title = {Title, 0};
    const Word empty = {EmptyCallback, 0};
    const Word drawFn = {DrawCallback, 0};
    const std::vector<Word> expected = {
        v(0x3D01FE81), v(0x8008),     v(0x8001), v(0x8002),     v(0),          v(0x3D01FE81),
        v(0x8009),     v(0x8003),     v(0x8004), v(0),          v(0x3D01FE81), v(0x800A),
        v(0x8005),     v(0x8006),     v(0),      v(0x3D01FE81), v(0x800B),     v(0x8007),
        v(0),          v(0x3D000B03), v(0),      title,         v(0),          v(0x3D000F01),
        empty,         v(0x3D001302), empty,     v(0),          v(0x3D014002), v(0x8001),
        v(0),          v(0x3D014202), v(0x8001), v(1),          v(0x3D014002), v(0x8003),
        v(-1000),      v(0x3D014102), v(0x8003), v(1000),       v(0x3D014002), v(0x8004),
        v(-1000),      v(0x3D014102), v(0x8004), v(1000),       v(0x3D014002), v(0x8005),
        v(-360),       v(0x3D014102), v(0x8005), v(360),        v(0x3D014002), v(0x8006),
        v(-90),        v(0x3D014102), v(0x8006), v(90),         v(0x3D016502), v(0x8007),
        drawFn,        v(0),
    };
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(PANEL_HINT_WORD_COUNT));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("word " + std::to_string(i));
        switch (expected[i].kind) {
        case Value:
            EXPECT_EQ(expected[i].value, panelHints[i].value);
            break;
        case Title:
            EXPECT_STREQ("Vellary Camera", panelHints[i].text);
            break;
        case EmptyCallback:
            EXPECT_EQ(&moduleShutdown, panelHints[i].callback);
            break;
        case DrawCallback:
            EXPECT_EQ(&drawTiltThumbnail, panelHints[i].draw);
            break;
        }
    }
    // Limits are signed 32-bit words: -1000 is 0xFFFFFC18 to the host.
    EXPECT_EQ(0xFFFFFC18u, static_cast<std::uint32_t>(panelHints[36].value));
}

} // namespace
