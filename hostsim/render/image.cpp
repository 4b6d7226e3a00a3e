#include "hostsim/render/image.h"

#include <algorithm>
#include <cmath>

namespace hostsim::render {

Image::Image(int width, int height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      rgb_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3, 0.0f) {}

std::size_t Image::offset(int px, int py) const {
    return (static_cast<std::size_t>(py) * static_cast<std::size_t>(width_) +
            static_cast<std::size_t>(px)) *
           3;
}

Rgb Image::pixel(int px, int py) const {
    const std::size_t i = offset(px, py);
    return {rgb_[i], rgb_[i + 1], rgb_[i + 2]};
}

void Image::setPixel(int px, int py, Rgb value) {
    const std::size_t i = offset(px, py);
    rgb_[i] = static_cast<float>(value.r);
    rgb_[i + 1] = static_cast<float>(value.g);
    rgb_[i + 2] = static_cast<float>(value.b);
}

std::uint8_t encodeSrgb(double linear) {
    // !(x > 0) also catches NaN, which must never reach the integer conversion.
    if (!(linear > 0.0)) {
        return 0;
    }
    if (linear >= 1.0) {
        return 255;
    }
    const double encoded =
        linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
    return static_cast<std::uint8_t>(std::lround(std::clamp(encoded, 0.0, 1.0) * 255.0));
}

RgbImage Image::toRgbImage(double exposure) const {
    RgbImage out;
    out.width = width_;
    out.height = height_;
    out.pixels.resize(rgb_.size());
    for (std::size_t i = 0; i < rgb_.size(); ++i) {
        out.pixels[i] = encodeSrgb(rgb_[i] * exposure);
    }
    return out;
}

} // namespace hostsim::render
