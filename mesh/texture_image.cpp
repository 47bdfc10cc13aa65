// Texture images: PNG and JPEG through stb_image, with bounded memory.
#include "mesh/texture_image.h"

#include <algorithm>
#include <cstring>

#include "mesh/jpeg_check.h"
#include "mesh/stb_image_config.h"
#include "mesh/text_lines.h"

namespace kubelmar {

namespace {

// The size a PNG's header declares; false when it is not a PNG. Read here
// because the decoder refuses empty and huge images with a vague reason.
bool pngHeaderSize(const std::uint8_t* b, std::size_t size, long long& width, long long& height) {
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 24 || std::memcmp(b, kSignature, 8) != 0 || std::memcmp(b + 12, "IHDR", 4) != 0) return false;
    auto big32 = [](const std::uint8_t* p) {
        return (static_cast<long long>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    };
    width = big32(b + 16);
    height = big32(b + 20);
    return true;
}

constexpr long long kMaxPixelsPerByte = 8192;
constexpr long long kMinBombPixels = 1LL << 20;

// The decoder grows its buffer to what a PNG data chunk declares before
// reading it; a chunk that claims more bytes than the file holds (a length
// field of 1 GiB in a 200-byte file) is refused here first. Chunks are
// length (4 bytes, big-endian), type (4), data, CRC (4), from byte 8.
std::string pngChunkFault(const std::uint8_t* b, std::size_t size) {
    std::size_t at = 8;
    while (at + 8 <= size) {
        const std::uint64_t length = (std::uint64_t{b[at]} << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
        const std::uint64_t left = size - at - 8;
        if (length > left)
            return "corrupt PNG: a chunk declares " + std::to_string(length) + " bytes, more than the " +
                   std::to_string(left) + " left in the file";
        if (std::memcmp(b + at + 4, "IEND", 4) == 0) break;
        at += 12 + static_cast<std::size_t>(length);
    }
    return {};
}

}  // namespace

TextureLoadResult decodeTexture(const std::uint8_t* bytes, std::size_t size, const std::string& path,
                                long long pixelBudget) {
    TextureLoadResult result;
    if (size > static_cast<std::size_t>(INT32_MAX)) {
        result.reason = "the image data is too large";
        return result;
    }
    const int length = static_cast<int>(size);
    const long long budget = std::min(pixelBudget, kMaxTexturePixels);
    long long declaredWidth = 0, declaredHeight = 0;
    if (pngHeaderSize(bytes, size, declaredWidth, declaredHeight)) {
        const std::string dimensions = std::to_string(declaredWidth) + " x " + std::to_string(declaredHeight);
        if (declaredWidth == 0 || declaredHeight == 0) {
            result.reason = "the image is empty (" + dimensions + ")";
            return result;
        }
        // Each side may be up to 2^32 - 1: compare without multiplying.
        if (declaredWidth > budget / declaredHeight) {
            result.reason = "the image is " + dimensions + " pixels, more than the " + std::to_string(budget) + " allowed";
            return result;
        }
        if (std::string fault = pngChunkFault(bytes, size); !fault.empty()) {
            result.reason = std::move(fault);
            return result;
        }
    }
    if (std::string fault = jpegHuffmanTableFault(bytes, size); !fault.empty()) {
        result.reason = std::move(fault);
        return result;
    }
    int width = 0, height = 0, channels = 0;
    // The header alone first: a small file may declare a huge image.
    if (!stbi_info_from_memory(bytes, length, &width, &height, &channels)) {
        result.reason = std::string("not a PNG or JPEG image (") + stbi_failure_reason() + ")";
        return result;
    }
    if (width <= 0 || height <= 0) {
        result.reason = "the image is empty (" + std::to_string(width) + " x " + std::to_string(height) + ")";
        return result;
    }
    const long long declared = static_cast<long long>(width) * height;
    if (declared > budget) {
        result.reason = "the image is " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels, more than the " + std::to_string(budget) + " allowed";
        return result;
    }
    // A flat colour packs to about 500 pixels a byte in JPEG and 1,000 to
    // 4,000 in PNG; a large image claimed by far fewer bytes is a bomb that
    // would only cost decoding time (seconds for a 141-byte JPEG).
    if (declared > kMinBombPixels && declared / kMaxPixelsPerByte > static_cast<long long>(size)) {
        result.reason = "the image declares " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels in only " + std::to_string(size) + " bytes";
        return result;
    }
    int w = 0, h = 0;
    stbi_uc* pixels = stbi_load_from_memory(bytes, length, &w, &h, &channels, 4);
    if (!pixels) {
        result.reason = std::string("cannot decode the image (") + stbi_failure_reason() + ")";
        return result;
    }
    Texture& t = result.texture;
    t.path = path;
    t.width = w;
    t.height = h;
    t.rgba.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
    // The decoder gives the top row first; textures are kept bottom row first.
    const std::size_t row = static_cast<std::size_t>(w) * 4;
    for (int y = 0; y < h; ++y)
        std::memcpy(t.rgba.data() + static_cast<std::size_t>(h - 1 - y) * row, pixels + static_cast<std::size_t>(y) * row, row);
    stbi_image_free(pixels);
    result.ok = true;
    return result;
}

TextureLoadResult loadTextureFile(const std::string& path, long long pixelBudget) {
    std::string bytes;
    std::string reason;
    if (!text::readRegularFile(path, bytes, reason, kMaxTextureFileBytes)) {
        TextureLoadResult result;
        result.reason = reason;
        return result;
    }
    return decodeTexture(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), path, pixelBudget);
}

Texture resampleNearest(const Texture& in, int width, int height) {
    Texture out;
    out.path = in.path;
    out.width = width;
    out.height = height;
    out.rgba.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    for (int y = 0; y < height; ++y) {
        // The input texel under the output texel's centre.
        const long long sy = (2LL * y + 1) * in.height / (2LL * height);
        for (int x = 0; x < width; ++x) {
            const long long sx = (2LL * x + 1) * in.width / (2LL * width);
            std::memcpy(&out.rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4],
                        &in.rgba[(static_cast<std::size_t>(sy) * static_cast<std::size_t>(in.width) + static_cast<std::size_t>(sx)) * 4], 4);
        }
    }
    return out;
}

}  // namespace kubelmar
