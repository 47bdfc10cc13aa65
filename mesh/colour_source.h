#pragma once

#include <cstddef>

#include "mesh/mesh.h"

namespace kubelmar {

// The best source the mesh has: Texture if any face is textured, else
// Material if any face's material has a Kd, else Vertex (vertex colours or
// white). The front end can warn when a requested source is better than this.
ColourSource bestColourSource(const Mesh& mesh);

// The texture (index into mesh.textures) vertex `vertex` is drawn with under
// `source`, or -1 for none.
int vertexTextureFor(const Mesh& mesh, std::size_t vertex, ColourSource source);

// The colour vertex `vertex` is drawn with under `source`, following the
// chain texture (white: the texture's colour is drawn unchanged), material
// Kd (alpha 1), vertex colour (as stored), white.
Rgba vertexColourFor(const Mesh& mesh, std::size_t vertex, ColourSource source);

}  // namespace kubelmar
