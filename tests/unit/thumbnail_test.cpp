// The tilt thumbnail as the host's panel draws it: the exact drawing calls (background, the
// 36-chord circle, the crosshair, then the marker), the pixels the host's raster makes of them,
// and a marker that stays defined and partly visible for any tilt the instance holds. The
// circle's chords are worked out here on their own, by turning each vertex by 10 degrees.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hostsim/draw_raster.h"
#include "hostsim/guarded_record.h"
#include "hostsim/png_writer.h"
#include "hostsim/xpanel_service.h"
#include "support/camera_host.h"

namespace {

using namespace camtest;
using hostsim::HostCall;
using hostsim::numberText;
using hostsim::Rgb;
using hostsim::RgbImage;
using testing::ElementsAreArray;
using testing::IsEmpty;

constexpr std::uint32_t kTiltDirectionId = 0x8005;
constexpr std::uint32_t kTiltAngleId = 0x8006;
constexpr std::uint32_t kThumbnailId = 0x8007;

constexpr Rgb kBackground{240, 240, 240};
constexpr Rgb kGrey{200, 200, 200}; // circle and crosshair
constexpr Rgb kMarker{255, 100, 100};

struct Chord {
    int x1, y1, x2, y2;
};

// The circle about (40, 30) with radius 29: from (0, 29) each vertex is the previous one turned
// by pi/18, coordinates truncated toward zero only when a chord is drawn.
std::vector<Chord> expectedChords() {
    const double step = kPi / 18.0;
    const double c = std::cos(step);
    const double s = std::sin(step);
    double x = 0.0;
    double y = 29.0;
    std::vector<Chord> chords;
    for (int i = 0; i < 36; ++i) {
        const double nx = x * c - y * s;
        const double ny = x * s + y * c;
        chords.push_back({static_cast<int>(x + 40.0), static_cast<int>(y + 30.0),
                          static_cast<int>(nx + 40.0), static_cast<int>(ny + 30.0)});
        x = nx;
        y = ny;
    }
    return chords;
}

std::string boxText(const std::string& area, Rgb colour, int x, int y, int width, int height) {
    return "drawing.box(" + area + ", " + std::to_string(colour.red) + ", " +
           std::to_string(colour.green) + ", " + std::to_string(colour.blue) + ", " +
           std::to_string(x) + ", " + std::to_string(y) + ", " + std::to_string(width) + ", " +
           std::to_string(height) + ")";
}

std::string lineText(const std::string& area, const Chord& chord) {
    return "drawing.line(" + area + ", 0x01C8C8C8, " + std::to_string(chord.x1) + ", " +
           std::to_string(chord.y1) + ", " + std::to_string(chord.x2) + ", " +
           std::to_string(chord.y2) + ")";
}

// Everything one drawing of the thumbnail asks of the host, in order.
std::vector<std::string> expectedDrawing(const std::string& area, int markerX, int markerY) {
    std::vector<std::string> calls = {"LWXPanel.getUserData(panel#1, 0x00000000)",
                                      boxText(area, kBackground, 0, 0, 100, 100)};
    for (const Chord& chord : expectedChords()) {
        calls.push_back(lineText(area, chord));
    }
    calls.push_back(boxText(area, kGrey, 0, 30, 81, 1));
    calls.push_back(boxText(area, kGrey, 40, 0, 1, 61));
    calls.push_back(boxText(area, kMarker, markerX, markerY, 5, 5));
    return calls;
}

std::vector<Chord> loggedChords(const std::vector<HostCall>& calls) {
    std::vector<Chord> chords;
    for (const HostCall& call : calls) {
        if (call.service == "drawing" && call.operation == "line" && call.arguments.size() == 6) {
            chords.push_back(
                {std::atoi(call.arguments[2].c_str()), std::atoi(call.arguments[3].c_str()),
                 std::atoi(call.arguments[4].c_str()), std::atoi(call.arguments[5].c_str())});
        }
    }
    return chords;
}

Rgb pixelAt(const RgbImage& image, int x, int y) {
    const std::size_t at = (static_cast<std::size_t>(y) * image.width + x) * 3;
    return Rgb{image.pixels[at], image.pixels[at + 1], image.pixels[at + 2]};
}

struct PixelBox {
    int count = 0;
    int minX = 1000, minY = 1000, maxX = -1, maxY = -1;
};

PixelBox pixelsOf(const RgbImage& image, Rgb colour) {
    PixelBox box;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (pixelAt(image, x, y) == colour) {
                ++box.count;
                box.minX = std::min(box.minX, x);
                box.minY = std::min(box.minY, y);
                box.maxX = std::max(box.maxX, x);
                box.maxY = std::max(box.maxY, y);
            }
        }
    }
    return box;
}

// One camera with its settings panel open.
class ThumbnailTest : public OneCameraTest {
  protected:
    void SetUp() override {
        OneCameraTest::SetUp();
        interfaceRecord->instance = camera;
        ASSERT_EQ(ACTIVATION_OK, activateInterface(INTERFACE_VERSION, host.globalLookup(),
                                                   interfaceRecord.get(), nullptr));
        panel = interfaceRecord->panel;
        ASSERT_TRUE(panels.knows(panel));
    }

    // Sets the tilt as the user does in the panel, then lets the host draw the thumbnail with
    // the call log holding only the drawing.
    std::optional<RgbImage> drawWithTilt(double angle, double direction) {
        EXPECT_EQ(1, panels.writeControl(panel, kTiltAngleId, angle));
        EXPECT_EQ(1, panels.writeControl(panel, kTiltDirectionId, direction));
        host.log().clear();
        return panels.drawControl(panel, kThumbnailId);
    }

    // The area the drawing went to: every drawing call must name the same one.
    std::string drawingArea() {
        std::string area;
        for (const HostCall& call : host.log().calls()) {
            if (call.service != "drawing") {
                continue;
            }
            if (area.empty()) {
                area = call.arguments.at(0);
            }
            EXPECT_EQ(area, call.arguments.at(0)) << callText(call);
        }
        EXPECT_EQ(0u, area.rfind("area#", 0)) << area;
        return area;
    }

    // The corner of the marker box, the last call of the drawing.
    std::pair<int, int> loggedMarkerCorner() {
        const std::vector<HostCall> calls = host.log().calls();
        EXPECT_FALSE(calls.empty());
        if (calls.empty()) {
            return {0, 0};
        }
        const HostCall& last = calls.back();
        EXPECT_EQ("box", last.operation);
        EXPECT_EQ(8u, last.arguments.size());
        if (last.arguments.size() != 8) {
            return {0, 0};
        }
        EXPECT_EQ("5", last.arguments[6]);
        EXPECT_EQ("5", last.arguments[7]);
        return {std::atoi(last.arguments[4].c_str()), std::atoi(last.arguments[5].c_str())};
    }

    hostsim::XPanelService panels{host};
    hostsim::GuardedRecord<InterfaceRecord> interfaceRecord{"InterfaceRecord"};
    XPanel panel = nullptr;
};

TEST_F(ThumbnailTest, DrawsBackgroundCircleCrosshairAndMarkerInThatOrder) {
    struct Case {
        double angle;
        double direction;
        int markerX;
        int markerY;
    };
    const Case cases[] = {
        {0.0, 0.0, 38, 28},         // no tilt: on the centre
        {kPi / 8, 0.0, 38, 13},     // r = 14.5, straight up
        {kPi / 8, kPi / 2, 52, 28}, // turned a quarter: to the right
        {kPi / 2, 0.0, 38, -1},     // on the circle, top row outside the area
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("tilt " + numberText(c.angle) + " towards " + numberText(c.direction));
        ASSERT_TRUE(drawWithTilt(c.angle, c.direction).has_value());
        const std::string area = drawingArea();

        EXPECT_THAT(callTexts(), ElementsAreArray(expectedDrawing(area, c.markerX, c.markerY)));

        // The circle's shape, read from the log itself.
        const std::vector<Chord> chords = loggedChords(host.log().calls());
        ASSERT_EQ(36u, chords.size());
        EXPECT_EQ(40, chords[0].x1);
        EXPECT_EQ(59, chords[0].y1);
        EXPECT_EQ(34, chords[0].x2);
        EXPECT_EQ(58, chords[0].y2);
        for (std::size_t i = 1; i < chords.size(); ++i) {
            EXPECT_EQ(chords[i - 1].x2, chords[i].x1) << "chord " << i;
            EXPECT_EQ(chords[i - 1].y2, chords[i].y1) << "chord " << i;
        }
        // Rounding carries over from chord to chord, so the polygon closes to within a pixel.
        EXPECT_LE(std::abs(chords.back().x2 - 40), 1);
        EXPECT_LE(std::abs(chords.back().y2 - 59), 1);
        EXPECT_THAT(host.violations().all(), IsEmpty());
    }
}

TEST_F(ThumbnailTest, RenderedThumbnailShowsCircleCrosshairAndMarkerUpAndRight) {
    const double angle = 30.0 * kPi / 180.0;
    const double direction = 45.0 * kPi / 180.0;
    const std::optional<RgbImage> image = drawWithTilt(angle, direction);
    ASSERT_TRUE(image.has_value());
    ASSERT_EQ(100, image->width);
    ASSERT_EQ(100, image->height);

    // Nothing but the four colours of the drawing.
    const PixelBox background = pixelsOf(*image, kBackground);
    const PixelBox grey = pixelsOf(*image, kGrey);
    const PixelBox marker = pixelsOf(*image, kMarker);
    EXPECT_EQ(100 * 100, background.count + grey.count + marker.count);

    EXPECT_EQ(kBackground, pixelAt(*image, 95, 95)); // outside the circle
    EXPECT_EQ(kBackground, pixelAt(*image, 5, 5));
    EXPECT_EQ(kBackground, pixelAt(*image, 25, 20)); // inside the circle
    EXPECT_EQ(kBackground, pixelAt(*image, 81, 30)); // just past the crosshair's ends
    EXPECT_EQ(kBackground, pixelAt(*image, 40, 61));
    for (auto [x, y] : {std::pair{0, 30}, {20, 30}, {80, 30}, {40, 0}, {40, 45}, {40, 60}}) {
        EXPECT_EQ(kGrey, pixelAt(*image, x, y)) << "crosshair at " << x << ", " << y;
    }
    for (const Chord& chord : loggedChords(host.log().calls())) {
        EXPECT_EQ(kGrey, pixelAt(*image, chord.x1, chord.y1))
            << "circle vertex " << chord.x1 << ", " << chord.y1;
    }
    EXPECT_EQ(grey.minX, 0); // the crosshair spans the circle's width ...
    EXPECT_EQ(grey.maxX, 80);
    EXPECT_EQ(grey.minY, 0); // ... and its height, from the top edge
    EXPECT_EQ(grey.maxY, 60);

    // The marker: 5 x 5 at the centre moved by r = 29 sqrt(2 angle / pi) towards the direction,
    // which on screen is up (smaller y) and to the right.
    const double r = 29.0 * std::sqrt(2.0 * angle / kPi);
    const int cornerX = static_cast<int>(38.0 + r * std::sin(direction));
    const int cornerY = static_cast<int>(28.0 - r * std::cos(direction));
    EXPECT_EQ(25, marker.count);
    EXPECT_EQ(cornerX, marker.minX);
    EXPECT_EQ(cornerY, marker.minY);
    EXPECT_EQ(cornerX + 4, marker.maxX);
    EXPECT_EQ(cornerY + 4, marker.maxY);
    const int middleX = marker.minX + 2;
    const int middleY = marker.minY + 2;
    EXPECT_GT(middleX, 40 + 5);
    EXPECT_LT(middleY, 30 - 5);
    EXPECT_EQ(kMarker, pixelAt(*image, middleX, middleY));

    const std::string path =
        (std::filesystem::temp_directory_path() / "vellary_tilt_thumbnail_30_45.png").string();
    std::string error;
    EXPECT_TRUE(hostsim::writePng(path, *image, &error)) << error;
    RecordProperty("thumbnail", path);
    std::printf("tilt thumbnail written to %s\n", path.c_str());
}

TEST_F(ThumbnailTest, WithoutTiltTheMarkerCoversTheCentreOverTheCrosshair) {
    const std::optional<RgbImage> image = drawWithTilt(0.0, 2.0);
    ASSERT_TRUE(image.has_value());
    const PixelBox marker = pixelsOf(*image, kMarker);
    EXPECT_EQ(25, marker.count);
    EXPECT_EQ(38, marker.minX);
    EXPECT_EQ(28, marker.minY);
    EXPECT_EQ(kMarker, pixelAt(*image, 40, 30)); // drawn last, over the crosshair
    EXPECT_EQ(kGrey, pixelAt(*image, 40, 27));
    EXPECT_EQ(kGrey, pixelAt(*image, 43, 30));
}

TEST_F(ThumbnailTest, HostileTiltDrawsAPartlyVisibleMarker) {
    const double angles[] = {kNaN, kInf, -kInf, 1e300, -1e300, 100.0, -100.0, -kPi / 2, 4.0};
    const double directions[] = {0.0, kPi / 4, -kPi, kNaN, kInf, -kInf, 1e300};
    for (double angle : angles) {
        for (double direction : directions) {
            SCOPED_TRACE("tilt " + numberText(angle) + " towards " + numberText(direction));
            const std::optional<RgbImage> image = drawWithTilt(angle, direction);
            ASSERT_TRUE(image.has_value());
            EXPECT_EQ(41u, host.log().size()); // user data, 4 boxes, 36 lines
            const auto [x, y] = loggedMarkerCorner();
            EXPECT_GE(x, -4);
            EXPECT_LE(x, 99);
            EXPECT_GE(y, -4);
            EXPECT_LE(y, 99);
            EXPECT_GT(pixelsOf(*image, kMarker).count, 0);
            if (std::isnan(angle) || std::isnan(direction)) {
                EXPECT_EQ(38, x) << "a NaN tilt shows as no tilt";
                EXPECT_EQ(28, y);
            }
            EXPECT_THAT(host.violations().all(), IsEmpty());
        }
    }
}

} // namespace
