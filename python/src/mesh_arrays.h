#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "mesh/mesh.h"

namespace kubelmar {

// A mesh handed in as arrays, C order: vertices n x 3 (x, y, z in the
// caller's units), faces m x 3 (0-based vertex indices), colours n x 3 or
// none, each channel 0..colourMaximum (1 or 255).
struct MeshArrays {
    const double* vertices = nullptr;
    std::size_t vertexCount = 0;
    const std::int64_t* faces = nullptr;
    std::size_t faceCount = 0;
    const double* colours = nullptr;  // null: every vertex white
    double colourMaximum = 1.0;
};

// Checks the arrays and builds the mesh as the OBJ reader would from the
// same vertices, "vc" colours and faces. Empty when they are sound; else one
// line saying what is wrong and where (the first bad row), and `mesh` is
// left as it was.
std::string buildMeshFromArrays(const MeshArrays& arrays, Mesh& mesh);

}  // namespace kubelmar
