#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kubelmar {

// Where the drawer takes a face's colour from. The sources form a chain,
// best first: texture at the point, material diffuse colour (Kd), vertex
// colours, white. A choice starts the chain at that source; a face that lacks
// it falls through to the next. Auto starts at the top (the best the file has).
enum class ColourSource { Auto, Texture, Material, Vertex };

// "auto", "texture", "material", "vertex"; false for anything else.
bool parseColourSource(const std::string& text, ColourSource& out);
const char* colourSourceName(ColourSource source);

// A decoded image, RGBA8, rows bottom first: row 0 is v = 0 as OBJ and GL
// texture coordinates count it (the file's last row).
struct Texture {
    std::string path;  // as resolved, for messages
    int width = 0;     // pixels
    int height = 0;
    std::vector<std::uint8_t> rgba;  // width * height * 4 bytes
};

// One named material as far as colour goes.
struct Material {
    std::string name;
    bool hasDiffuse = false;  // Kd given
    float diffuse[3] = {1.0f, 1.0f, 1.0f};  // Kd, red green blue in 0..1
    int texture = -1;   // index into Mesh::textures of its usable map_Kd, or -1
    bool clampTexture = false;  // map_Kd -clamp on: no tiling outside 0..1
};

}  // namespace kubelmar
