#pragma once

#include <functional>
#include <string>
#include <vector>

#include "mesh/load_limits.h"
#include "mesh/texture_image.h"

namespace kubelmar {

// How one texture file becomes an image, within a pixel budget:
// loadTextureFile, or a stand-in in tests.
using TextureFileDecoder = std::function<TextureLoadResult(const std::string& path, long long pixelBudget)>;

// Loads the texture files `paths` in order, each within what the images
// before it left of `pixelBudget` pixels (an image that fails costs none).
// With limits.isolateThirdPartyReaders the images are decoded in a child
// process, one for all of them, under limits.maxMemoryBytes and, all
// together, limits.maxReadSeconds: a decoder that crashes, runs out of
// memory or hangs costs only the image it was decoding (a reason saying the
// decoder failed), and a fresh child goes on with the rest. The results are
// those of calling `decode` on each path in turn otherwise.
std::vector<TextureLoadResult> loadTextureFiles(const std::vector<std::string>& paths, long long pixelBudget,
                                                const LoadLimits& limits,
                                                const TextureFileDecoder& decode = TextureFileDecoder(loadTextureFile));

}  // namespace kubelmar
