#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/material.h"

namespace kubelmar {

// Bounds on what a texture may cost, so that a file from a stranger can't
// exhaust memory: an image's declared size is checked before it is decoded.
constexpr long long kMaxTexturePixels = 1LL << 26;       // one image: 64 Mpixel, 256 MiB decoded
constexpr long long kMaxTotalTexturePixels = 1LL << 27;  // all images of one mesh: 512 MiB
constexpr std::size_t kMaxTextureFileBytes = std::size_t{256} << 20;  // encoded

struct TextureLoadResult {
    bool ok = false;
    std::string reason;  // why not, without the file name
    Texture texture;     // rows bottom first (see Texture)
};

// Loads a PNG or JPEG file as RGBA8, refusing anything that is not a regular
// file, larger than kMaxTextureFileBytes, or declaring more than
// `pixelBudget` pixels (at most kMaxTexturePixels), without decoding it.
TextureLoadResult loadTextureFile(const std::string& path, long long pixelBudget = kMaxTexturePixels);

// Decodes PNG or JPEG bytes already in memory (an image embedded in a
// model file); same limits and row order as loadTextureFile.
TextureLoadResult decodeTexture(const std::uint8_t* bytes, std::size_t size, const std::string& path,
                                long long pixelBudget = kMaxTexturePixels);

// Nearest-neighbour resampling to width x height (both >= 1): every output
// texel is a copy of an input texel, so no colour is invented. Rows keep
// their order.
Texture resampleNearest(const Texture& in, int width, int height);

}  // namespace kubelmar
