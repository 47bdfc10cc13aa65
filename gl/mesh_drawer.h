#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gl/gl_ext_loader.h"
#include "mesh/material.h"
#include "mesh/mesh.h"

namespace kubelmar {

// Sends a mesh to GL from buffer objects: per-vertex positions and normals
// (3 floats each), colours (4 floats) and, for textured meshes, texture
// coordinates (2 floats); triangles in face order. Drawing faces in their
// stored order gives the same picture as sending them one vertex at a time.
//
// Colour follows the mesh's colour-source chain (mesh/colour_source.h):
// textured faces draw their texture alone (GL_REPLACE, nearest texel, so
// no colour that is not in the image appears; lighting does not shade
// them), other faces draw the vertex colour array (material Kd, vertex
// colour or white per vertex), which with lighting off replaces the current
// colour.
class MeshDrawer {
public:
    MeshDrawer() = default;
    ~MeshDrawer() { release(); }
    MeshDrawer(const MeshDrawer&) = delete;
    MeshDrawer& operator=(const MeshDrawer&) = delete;

    // Uploads the mesh's arrays and textures, colours taken from `source`;
    // context current. Returns one warning line per texture that had to be
    // scaled down (larger than GL_MAX_TEXTURE_SIZE, or not a power of two
    // where the GL can't take that).
    std::vector<std::string> upload(GL_Ext_Loader& loader, const Mesh& mesh,
                                    ColourSource source = ColourSource::Auto);
    // Replaces the uploaded positions (one per vertex, as many as uploaded);
    // context current. For a run that places the mesh in a frame of its own.
    void updatePositions(const std::vector<Float3>& positions);
    void release();
    // Forgets the GL names without a GL call (their context is gone).
    void abandon();
    bool uploaded() const { return uploaded_; }
    // True when some face draws a texture (see upload).
    bool textured() const { return texCoordBuffer_ != 0; }

    // Draws every face as GL_TRIANGLES. Leaves the vertex, normal, colour and
    // texture-coordinate arrays disabled and no buffer bound; for a textured
    // mesh also GL_TEXTURE_2D disabled, texture 0 bound and the texture
    // environment at GL_MODULATE (GL's default). A plain mesh changes no
    // texture state.
    void draw() const;
    // Draws the faces whose 3 vertex indices each are listed in `indices`
    // (client memory, faces in the order given; count is in indices). Same
    // state afterwards as draw().
    void drawIndices(const std::uint32_t* indices, std::size_t count) const;

    // The faces as drawIndices takes them: 3 vertex indices per face, in
    // the mesh's face order.
    const std::vector<std::uint32_t>& faceIndices() const { return indices_; }

private:
    void beginArrays() const;
    void endArrays() const;
    // Draws `count` indices starting at `first` (client pointer, or an offset
    // into the bound index buffer), switching textures between runs of
    // faces that share one.
    void drawRuns(const std::uint32_t* indices, std::size_t count, const std::uint32_t* first) const;
    std::vector<std::string> uploadTextures(const Mesh& mesh);

    GL_Ext_Loader* loader_ = nullptr;
    GLuint positionBuffer_ = 0;
    GLuint normalBuffer_ = 0;
    GLuint colourBuffer_ = 0;
    GLuint texCoordBuffer_ = 0;  // 0 when no face is textured
    GLuint indexBuffer_ = 0;
    std::vector<std::uint32_t> indices_;
    std::vector<GLuint> textures_;     // GL name per mesh texture
    std::vector<int> vertexTexture_;   // per vertex: index into textures_, or -1; empty when none
    bool uploaded_ = false;
};

}  // namespace kubelmar
