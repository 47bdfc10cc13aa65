#include "formats/png_io.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>

namespace kubelmar {

namespace {

// libpng's output goes through the checked file; a failed write is kept
// there and reported by finish(), so libpng needs no error of its own.
void writeToFile(png_structp png, png_bytep data, png_size_t size) {
    static_cast<CheckedFile*>(png_get_io_ptr(png))->write(data, size);
}

void flushNothing(png_structp) {}

void setError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

}  // namespace

namespace {

// How the rows of a PNG are laid out in memory and in the file.
struct PngLayout {
    int bitDepth = 8;
    int colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    std::size_t stride = 0;       // bytes from one row to the next
    bool dropFourthByte = false;  // RGBA in memory, RGB in the file
    bool filterUp = false;
};

IoResult writePng(CheckedFile& file, int width, int height, const std::uint8_t* pixels, const PngLayout& layout) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, nullptr);
        file.fail("out of memory");
        return file.finish();
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        file.fail("PNG encoding failed");
        return file.finish();
    }
    png_set_write_fn(png, &file, writeToFile, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), layout.bitDepth,
                 layout.colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Slices are mostly runs of one colour: the fastest deflate level (with
    // the "up" filter for colour) packs them almost as small as the
    // default, several times faster.
    png_set_compression_level(png, Z_BEST_SPEED);
    if (layout.filterUp) png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    for (int y = 0; y < height; ++y) rows[y] = const_cast<png_bytep>(pixels + static_cast<std::size_t>(y) * layout.stride);
    png_write_info(png, info);
    if (layout.dropFourthByte) png_set_filler(png, 0, PNG_FILLER_AFTER);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return file.finish();
}

}  // namespace

IoResult writePngRGBA(CheckedFile& file, int width, int height, const std::uint8_t* rgba, bool keepAlpha) {
    PngLayout layout;
    layout.colourType = keepAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    layout.stride = static_cast<std::size_t>(width) * 4;
    layout.dropFourthByte = !keepAlpha;
    layout.filterUp = true;
    return writePng(file, width, height, rgba, layout);
}

IoResult writePngBits(CheckedFile& file, int width, int height, const std::uint8_t* bits) {
    PngLayout layout;
    layout.bitDepth = 1;
    layout.colourType = PNG_COLOR_TYPE_GRAY;
    layout.stride = (static_cast<std::size_t>(width) + 7) / 8;
    return writePng(file, width, height, bits, layout);
}

bool writePngRGBA(const std::string& path, int width, int height, const std::uint8_t* rgba, std::string* error,
                  bool keepAlpha) {
    CheckedFile file;
    file.open(path);
    const IoResult written = writePngRGBA(file, width, height, rgba, keepAlpha);
    if (!written.ok) setError(error, written.reason);
    return written.ok;
}

bool readPngRGBA(const std::string& path, int& width, int& height, std::vector<std::uint8_t>& rgba,
                 std::string* error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        setError(error, image.message);
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        setError(error, image.message);
        png_image_free(&image);
        return false;
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return true;
}

}  // namespace kubelmar
