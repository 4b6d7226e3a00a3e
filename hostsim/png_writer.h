// Writes 8-bit RGB images as PNG files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hostsim {

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // width * height * 3 bytes, rows top to bottom
};

// False, with a message in *error, when the file can't be written.
bool writePng(const std::string& path, const RgbImage& image, std::string* error);

} // namespace hostsim
