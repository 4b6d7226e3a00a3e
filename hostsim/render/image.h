// The rendered picture in linear floating-point RGB, and its conversion to an 8-bit sRGB image
// for the PNG writer.
#pragma once

#include "hostsim/png_writer.h"
#include "hostsim/render/render_math.h"

#include <vector>

namespace hostsim::render {

class Image {
  public:
    Image(int width, int height); // negative sizes count as 0

    int width() const { return width_; }
    int height() const { return height_; }
    Rgb pixel(int px, int py) const;
    void setPixel(int px, int py, Rgb value);

    // 8-bit sRGB, rows top to bottom. Values are scaled by exposure, clipped to 0..1 and
    // gamma-encoded; NaN counts as black and infinities clip, so no sample can turn into an
    // undefined conversion.
    RgbImage toRgbImage(double exposure = 1.0) const;

  private:
    std::size_t offset(int px, int py) const;

    int width_;
    int height_;
    std::vector<float> rgb_; // width * height * 3, rows top to bottom
};

// One linear channel value to an 8-bit sRGB code, as toRgbImage does it.
std::uint8_t encodeSrgb(double linear);

} // namespace hostsim::render
