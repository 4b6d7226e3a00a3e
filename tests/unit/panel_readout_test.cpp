// The focal-length read-out text and the thumbnail marker's position: the two panel outputs
// that must stay defined for any value the host or a scene hands over.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "model/camera_instance.h"
#include "panel/focal_length_readout.h"
#include "panel/tilt_thumbnail.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string readout(double millimetres) {
    char text[CAMERA_INFO_TEXT_SIZE + 8];
    std::memset(text, '#', sizeof(text));
    formatFocalLength(text, CAMERA_INFO_TEXT_SIZE, millimetres);
    for (std::size_t i = CAMERA_INFO_TEXT_SIZE; i < sizeof(text); ++i) {
        EXPECT_EQ('#', text[i]) << "written past the read-out at " << i;
    }
    return std::string(text, strnlen(text, CAMERA_INFO_TEXT_SIZE));
}

TEST(FocalLengthReadout, OneDecimalInMillimetres) {
    EXPECT_EQ("Focal Length 0.0mm", readout(0.0));
    EXPECT_EQ("Focal Length 38.4mm", readout(0.024 * 3.2 * 0.5 * 1000.0));
    EXPECT_EQ("Focal Length 31.5mm", readout(31.46));
    EXPECT_EQ("Focal Length -12.0mm", readout(-12.0));
}

TEST(FocalLengthReadout, AnyValueFitsTheFortyCharacterField) {
    for (double mm : {1e14, -9.99e14, 1e15, -1e15, 1e300, -1e300, kInf, -kInf, kNaN,
                      std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
                      std::numeric_limits<double>::denorm_min()}) {
        const std::string text = readout(mm);
        SCOPED_TRACE(text);
        EXPECT_LE(text.size(), 39u);
        EXPECT_EQ(0u, text.rfind("Focal Length ", 0));
        EXPECT_EQ("mm", text.substr(text.size() - 2));
    }
}

struct MarkerCase {
    double angle;
    double direction;
    int x;
    int y;
};

TEST(ThumbnailMarker, CornerFollowsTiltAngleAndDirection) {
    const MarkerCase cases[] = {
        {0.0, 0.0, 38, 28},          // no tilt: on the centre
        {0.0, 1.234, 38, 28},        // whatever the direction
        {kPi / 2, 0.0, 38, -1},      // on the circle, straight up, top row outside
        {kPi / 8, 0.0, 38, 13},      // r = 14.5
        {kPi / 8, kPi / 2, 52, 28},  // turned a quarter: to the right
        {-kPi / 8, 0.0, 38, 42},     // negative tilt: opposite side
        {-kPi / 8, kPi / 2, 23, 28}, //
    };
    for (const MarkerCase& c : cases) {
        const ThumbnailMarker m = thumbnailMarkerCorner(c.angle, c.direction, kPi);
        EXPECT_EQ(c.x, m.x) << c.angle << " " << c.direction;
        EXPECT_EQ(c.y, m.y) << c.angle << " " << c.direction;
    }
}

TEST(ThumbnailMarker, HostileTiltStaysDefinedAndPartlyVisible) {
    const double values[] = {kNaN, kInf, -kInf, 1e300, -1e300, 100.0, -100.0, 1e-300};
    for (double angle : values) {
        for (double direction : values) {
            const ThumbnailMarker m = thumbnailMarkerCorner(angle, direction, kPi);
            EXPECT_GE(m.x, -4) << angle << " " << direction;
            EXPECT_LE(m.x, 99) << angle << " " << direction;
            EXPECT_GE(m.y, -4) << angle << " " << direction;
            EXPECT_LE(m.y, 99) << angle << " " << direction;
        }
    }
    const ThumbnailMarker nanTilt = thumbnailMarkerCorner(kNaN, 0.3, kPi);
    EXPECT_EQ(38, nanTilt.x); // treated as no tilt
    EXPECT_EQ(28, nanTilt.y);
}

} // namespace
