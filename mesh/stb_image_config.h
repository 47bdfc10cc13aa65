#pragma once

// stb_image as this project builds it: PNG and JPEG only, from memory only,
// with a bound on declared dimensions (texture_image.cpp checks the pixel
// count itself before decoding).
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS (1 << 20)
#include <stb/stb_image.h>
