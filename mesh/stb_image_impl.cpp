// The one translation unit that compiles stb_image's implementation.
#define STB_IMAGE_IMPLEMENTATION
#include "mesh/stb_image_config.h"
