#include "voxel/png_io.h"

#include <png.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

namespace kubelmar {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// strerror() may share one buffer between threads; this doesn't.
std::string errnoText() { return std::generic_category().message(errno); }

void setError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

// A write is only known to have reached the file once its buffer was
// flushed and the close succeeded (a full disk shows up at either).
bool flushAndClose(File file, std::string* error) {
    if (std::fflush(file.get()) != 0 || std::ferror(file.get())) {
        setError(error, errnoText());
        return false;
    }
    if (std::fclose(file.release()) != 0) {
        setError(error, errnoText());
        return false;
    }
    return true;
}

}  // namespace

bool writePngRGBA(const std::string& path, int width, int height, const std::uint8_t* rgba,
                  std::string* error, bool keepAlpha) {
    std::FILE* raw = std::fopen(path.c_str(), "wb");
    if (!raw) {
        setError(error, errnoText());
        return false;
    }
    File file(raw);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, nullptr);
        setError(error, "out of memory");
        return false;
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        setError(error, "write failed");
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 keepAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    // Slices are mostly runs of one colour: the fastest deflate level with
    // the "up" filter packs them almost as small as the default, several
    // times faster.
    png_set_compression_level(png, Z_BEST_SPEED);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    for (int y = 0; y < height; ++y)
        rows[y] = const_cast<png_bytep>(rgba + static_cast<std::size_t>(y) * width * 4);
    png_write_info(png, info);
    if (!keepAlpha) png_set_filler(png, 0, PNG_FILLER_AFTER);  // drops the 4th byte
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return flushAndClose(std::move(file), error);
}

bool writeFileBytes(const std::string& path, const std::uint8_t* bytes, std::size_t size, std::string* error) {
    std::FILE* raw = std::fopen(path.c_str(), "wb");
    if (!raw) {
        setError(error, errnoText());
        return false;
    }
    File file(raw);
    if (std::fwrite(bytes, 1, size, file.get()) != size) {
        setError(error, errnoText());
        return false;
    }
    return flushAndClose(std::move(file), error);
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
