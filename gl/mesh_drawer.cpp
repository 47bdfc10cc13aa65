#include "gl/mesh_drawer.h"

#include <cstddef>

namespace kubelmar {

namespace {
// Vec4 carries its cached length as a fifth float: the arrays are read with
// that stride.
constexpr GLsizei kStride = sizeof(Vec4);
static_assert(offsetof(Vec4, x) == 0 && offsetof(Vec4, w) == 3 * sizeof(float));
}  // namespace

void MeshDrawer::upload(GL_Ext_Loader& loader, const Mesh& mesh) {
    release();
    loader_ = &loader;
    indices_.resize(static_cast<std::size_t>(mesh.faceCount) * 3);
    for (int f = 0; f < mesh.faceCount; ++f)
        for (int k = 0; k < 3; ++k) indices_[3 * f + k] = static_cast<std::uint32_t>(mesh.faces[f].index[k]);

    const std::vector<Vec4>* arrays[3] = {&mesh.positions, &mesh.normals, &mesh.colors};
    loader.glGenBuffersARB(3, buffers_);
    for (int i = 0; i < 3; ++i) {
        loader.glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffers_[i]);
        loader.glBufferDataARB(GL_ARRAY_BUFFER_ARB,
                               static_cast<GLsizeiptrARB>(arrays[i]->size() * sizeof(Vec4)),
                               arrays[i]->data(), GL_STATIC_DRAW_ARB);
    }
    loader.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    loader.glGenBuffersARB(1, &indexBuffer_);
    loader.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, indexBuffer_);
    loader.glBufferDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB,
                           static_cast<GLsizeiptrARB>(indices_.size() * sizeof(std::uint32_t)),
                           indices_.data(), GL_STATIC_DRAW_ARB);
    loader.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    uploaded_ = true;
}

void MeshDrawer::release() {
    if (loader_ && uploaded_) {
        loader_->glDeleteBuffersARB(3, buffers_);
        loader_->glDeleteBuffersARB(1, &indexBuffer_);
    }
    buffers_[0] = buffers_[1] = buffers_[2] = 0;
    indexBuffer_ = 0;
    uploaded_ = false;
}

void MeshDrawer::abandon() {
    loader_ = nullptr;
    release();
}

void MeshDrawer::beginArrays() const {
    loader_->glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffers_[0]);
    glVertexPointer(3, GL_FLOAT, kStride, nullptr);
    loader_->glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffers_[1]);
    glNormalPointer(GL_FLOAT, kStride, nullptr);
    loader_->glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffers_[2]);
    glColorPointer(4, GL_FLOAT, kStride, nullptr);
    loader_->glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
}

void MeshDrawer::endArrays() const {
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
}

void MeshDrawer::draw() const {
    if (!uploaded_ || indices_.empty()) return;
    beginArrays();
    loader_->glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, indexBuffer_);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices_.size()), GL_UNSIGNED_INT, nullptr);
    loader_->glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    endArrays();
}

void MeshDrawer::drawIndices(const std::uint32_t* indices, std::size_t count) const {
    if (!uploaded_ || count == 0) return;
    beginArrays();
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(count), GL_UNSIGNED_INT, indices);
    endArrays();
}

}  // namespace kubelmar
