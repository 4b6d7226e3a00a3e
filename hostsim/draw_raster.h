// The pixels behind one drawing control of a panel. The host hands the module a drawing area
// and rasterises what the module draws into it, clipping everything that falls outside: the
// module may pass any coordinates, and only the host knows the control's size.
#pragma once

#include <cstdint>

#include "hostsim/png_writer.h"

namespace hostsim {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The line operation's packed colour word: 0x..RRGGBB, the top byte carries no colour.
Rgb colourFromWord(std::uint32_t word);

class DrawRaster {
  public:
    DrawRaster(int width, int height, Rgb background = Rgb{});

    // Bresenham's line from (x1, y1) to (x2, y2), both end points included. The pixels are the
    // same as if the raster were unbounded and then cropped; only the visible ones are written.
    void line(Rgb colour, int x1, int y1, int x2, int y2);
    // The box covering columns x .. x + width - 1 and rows y .. y + height - 1, clipped. A box
    // with no width or height draws nothing.
    void box(Rgb colour, int x, int y, int width, int height);

    int width() const { return image_.width; }
    int height() const { return image_.height; }
    bool contains(long long x, long long y) const;
    Rgb pixel(int x, int y) const;
    const RgbImage& image() const { return image_; }

  private:
    void plot(long long x, long long y, Rgb colour);

    RgbImage image_;
};

} // namespace hostsim
