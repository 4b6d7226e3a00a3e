#include "hostsim/png_writer.h"

// stb's writer is C code with its own warnings; they are not ours to fix.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

#include <cstdio>

namespace hostsim {

namespace {

void appendToFile(void* context, void* data, int size) {
    auto* file = static_cast<std::FILE*>(context);
    // A short write sets the file's error flag, which writePng checks once at the end.
    if (size > 0) {
        std::fwrite(data, 1, static_cast<std::size_t>(size), file);
    }
}

bool fail(std::string* error, std::string message) {
    if (error != nullptr) {
        *error = std::move(message);
    }
    return false;
}

} // namespace

bool writePng(const std::string& path, const RgbImage& image, std::string* error) {
    const std::size_t expected = static_cast<std::size_t>(image.width) * image.height * 3;
    if (image.width <= 0 || image.height <= 0 || image.pixels.size() != expected) {
        return fail(error, "cannot write " + path + ": the image has no pixels or a wrong size");
    }
    // Written through our own FILE so a full disk or an unwritable path is reported, and so the
    // file name is passed to the C runtime unchanged on every platform.
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return fail(error, "cannot open " + path + " for writing");
    }
    const int encoded = stbi_write_png_to_func(appendToFile, file, image.width, image.height, 3,
                                               image.pixels.data(), image.width * 3);
    const bool writeFailed = std::ferror(file) != 0;
    const bool closeFailed = std::fclose(file) != 0;
    if (encoded == 0 || writeFailed || closeFailed) {
        std::remove(path.c_str());
        return fail(error, "cannot write " + path);
    }
    return true;
}

} // namespace hostsim
