#pragma once

#include <cstdint>
#include <vector>

#include "gl/gl_ext_loader.h"
#include "mesh/mesh.h"

namespace kubelmar {

// Sends a mesh to GL from buffer objects: per-vertex positions, normals and
// colours, triangles in face order. Drawing faces in their stored order gives
// the same picture as sending them one vertex at a time.
class MeshDrawer {
public:
    MeshDrawer() = default;
    ~MeshDrawer() { release(); }
    MeshDrawer(const MeshDrawer&) = delete;
    MeshDrawer& operator=(const MeshDrawer&) = delete;

    // Uploads the mesh's arrays; context current.
    void upload(GL_Ext_Loader& loader, const Mesh& mesh);
    void release();
    // Forgets the GL names without a GL call (their context is gone).
    void abandon();
    bool uploaded() const { return uploaded_; }

    // Draws every face as GL_TRIANGLES. Leaves colour, normal and vertex
    // arrays disabled and no buffer bound.
    void draw() const;
    // Draws the faces whose 3 vertex indices each are listed in `indices`
    // (client memory, faces in the order given).
    void drawIndices(const std::uint32_t* indices, std::size_t count) const;

    const std::vector<std::uint32_t>& faceIndices() const { return indices_; }

private:
    void beginArrays() const;
    void endArrays() const;

    GL_Ext_Loader* loader_ = nullptr;
    GLuint buffers_[3] = {0, 0, 0};  // positions, normals, colours
    GLuint indexBuffer_ = 0;
    std::vector<std::uint32_t> indices_;
    bool uploaded_ = false;
};

}  // namespace kubelmar
