#include "tests/support/test_images.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace kubelmar::test {

std::string writeTestPng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba) {
    stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4);
    return path;
}

std::string writeTestJpeg(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba) {
    stbi_write_jpg(path.c_str(), width, height, 4, rgba.data(), 100);
    return path;
}

std::vector<std::uint8_t> cellImage(int columns, int rows, int cell, const std::vector<std::uint32_t>& colours) {
    const int width = columns * cell, height = rows * cell;
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = colours[static_cast<std::size_t>((y / cell) * columns + x / cell)];
            std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
            p[0] = static_cast<std::uint8_t>(c >> 24);
            p[1] = static_cast<std::uint8_t>(c >> 16);
            p[2] = static_cast<std::uint8_t>(c >> 8);
            p[3] = static_cast<std::uint8_t>(c);
        }
    }
    return rgba;
}

}  // namespace kubelmar::test
