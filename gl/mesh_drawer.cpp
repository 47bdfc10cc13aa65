#include "gl/mesh_drawer.h"

#include <cstddef>
#include <cstdint>

#include "mesh/colour_source.h"
#include "mesh/texture_image.h"

namespace kubelmar {

namespace {

// The first `count` elements of `data`, as tightly packed as T is.
template <typename T>
void uploadArray(GL_Ext_Loader& loader, GLuint buffer, GLenum target, const std::vector<T>& data, std::size_t count) {
    loader.glBindBufferARB(target, buffer);
    loader.glBufferDataARB(target, static_cast<GLsizeiptrARB>(count * sizeof(T)), data.data(), GL_STATIC_DRAW_ARB);
    loader.glBindBufferARB(target, 0);
}

template <typename T>
void uploadArray(GL_Ext_Loader& loader, GLuint buffer, GLenum target, const std::vector<T>& data) {
    uploadArray(loader, buffer, target, data, data.size());
}

int largestPowerOfTwoAtMost(int n) {
    int p = 1;
    while (p <= n / 2) p *= 2;
    return p;
}

// Textures of any size are core since GL 2.0, or an extension before.
bool takesAnyTextureSize() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (version && version[0] >= '2' && version[0] <= '9') return true;
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return extensions && extensionListContains(extensions, "GL_ARB_texture_non_power_of_two");
}

}  // namespace

void MeshDrawer::updatePositions(const std::vector<Float3>& positions) {
    if (!uploaded_ || !loader_) return;
    uploadArray(*loader_, positionBuffer_, GL_ARRAY_BUFFER_ARB, positions);
}

std::vector<std::string> MeshDrawer::upload(GL_Ext_Loader& loader, const Mesh& mesh, ColourSource source) {
    release();
    loader_ = &loader;
    const auto n = static_cast<std::size_t>(mesh.vertexCount);
    indices_.resize(static_cast<std::size_t>(mesh.faceCount) * 3);
    for (std::size_t f = 0; f < static_cast<std::size_t>(mesh.faceCount); ++f)
        for (std::size_t k = 0; k < 3; ++k) indices_[3 * f + k] = static_cast<std::uint32_t>(mesh.faces[f].index[k]);

    // Positions and normals go as the mesh holds them (tight x y z); the
    // colours are the ones `source` picks, tight r g b a.
    std::vector<Rgba> colours(n);
    vertexTexture_.clear();
    bool textured = false;
    for (std::size_t i = 0; i < n; ++i) {
        colours[i] = vertexColourFor(mesh, i, source);
        textured = textured || vertexTextureFor(mesh, i, source) >= 0;
    }

    GLuint buffers[4] = {0, 0, 0, 0};
    loader.glGenBuffersARB(4, buffers);
    positionBuffer_ = buffers[0];
    normalBuffer_ = buffers[1];
    colourBuffer_ = buffers[2];
    indexBuffer_ = buffers[3];
    uploadArray(loader, positionBuffer_, GL_ARRAY_BUFFER_ARB, mesh.positions, n);
    uploadArray(loader, normalBuffer_, GL_ARRAY_BUFFER_ARB, mesh.normals, n);
    uploadArray(loader, colourBuffer_, GL_ARRAY_BUFFER_ARB, colours);
    uploadArray(loader, indexBuffer_, GL_ELEMENT_ARRAY_BUFFER_ARB, indices_);

    std::vector<std::string> warnings;
    if (textured) {
        std::vector<float> texCoords(2 * n);
        vertexTexture_.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            vertexTexture_[i] = vertexTextureFor(mesh, i, source);
            texCoords[2 * i] = mesh.texCoords[i][0];
            texCoords[2 * i + 1] = mesh.texCoords[i][1];
        }
        loader.glGenBuffersARB(1, &texCoordBuffer_);
        uploadArray(loader, texCoordBuffer_, GL_ARRAY_BUFFER_ARB, texCoords);
        warnings = uploadTextures(mesh);
    }
    uploaded_ = true;
    return warnings;
}

std::vector<std::string> MeshDrawer::uploadTextures(const Mesh& mesh) {
    std::vector<std::string> warnings;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (maxSize < 1) maxSize = 64;  // the least any GL must take
    const bool anySize = takesAnyTextureSize();

    // A texture tiles unless every material using it asks for -clamp.
    std::vector<int> clamp(mesh.textures.size(), -1);  // -1 unused, 0 tile, 1 clamp
    for (const Material& m : mesh.materials) {
        if (m.texture < 0) continue;
        int& c = clamp[static_cast<std::size_t>(m.texture)];
        c = (c != 0 && m.clampTexture) ? 1 : 0;
    }

    textures_.assign(mesh.textures.size(), 0);
    glGenTextures(static_cast<GLsizei>(textures_.size()), textures_.data());
    for (std::size_t t = 0; t < mesh.textures.size(); ++t) {
        const Texture& image = mesh.textures[t];
        int width = image.width < maxSize ? image.width : maxSize;
        int height = image.height < maxSize ? image.height : maxSize;
        if (!anySize) {
            width = largestPowerOfTwoAtMost(width);
            height = largestPowerOfTwoAtMost(height);
        }
        Texture scaled;
        const Texture* sent = &image;
        if (width != image.width || height != image.height) {
            // Nearest texels only, so scaling invents no colour either.
            scaled = resampleNearest(image, width, height);
            sent = &scaled;
            warnings.push_back(image.path + ": texture of " + std::to_string(image.width) + " x " +
                               std::to_string(image.height) + " pixels scaled down to " + std::to_string(width) +
                               " x " + std::to_string(height) +
                               (image.width > maxSize || image.height > maxSize
                                    ? " (the GL's limit is " + std::to_string(maxSize) + ")"
                                    : " (the GL takes powers of two only)"));
        }
        glBindTexture(GL_TEXTURE_2D, textures_[t]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        const GLint wrap = clamp[t] == 1 ? GL_CLAMP : GL_REPEAT;
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
        // Rows bottom first, as GL counts t: v = 0 is the image's bottom row.
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);  // RGBA rows are whole words
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, sent->width, sent->height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     sent->rgba.data());
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    return warnings;
}

void MeshDrawer::release() {
    if (loader_ && uploaded_) {
        const GLuint buffers[5] = {positionBuffer_, normalBuffer_, colourBuffer_, indexBuffer_, texCoordBuffer_};
        loader_->glDeleteBuffersARB(texCoordBuffer_ ? 5 : 4, buffers);
        if (!textures_.empty()) glDeleteTextures(static_cast<GLsizei>(textures_.size()), textures_.data());
    }
    positionBuffer_ = normalBuffer_ = colourBuffer_ = indexBuffer_ = texCoordBuffer_ = 0;
    textures_.clear();
    uploaded_ = false;
}

void MeshDrawer::abandon() {
    loader_ = nullptr;
    release();
}

void MeshDrawer::beginArrays() const {
    loader_->glBindBufferARB(GL_ARRAY_BUFFER_ARB, positionBuffer_);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    loader_->glBindBufferARB(GL_ARRAY_BUFFER_ARB, normalBuffer_);
    glNormalPointer(GL_FLOAT, 0, nullptr);
    loader_->glBindBufferARB(GL_ARRAY_BUFFER_ARB, colourBuffer_);
    glColorPointer(4, GL_FLOAT, 0, nullptr);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    if (texCoordBuffer_) {
        loader_->glBindBufferARB(GL_ARRAY_BUFFER_ARB, texCoordBuffer_);
        glTexCoordPointer(2, GL_FLOAT, 0, nullptr);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    loader_->glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
}

void MeshDrawer::endArrays() const {
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    if (texCoordBuffer_) {
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glBindTexture(GL_TEXTURE_2D, 0);
        glDisable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);  // GL's default
    }
}

void MeshDrawer::drawRuns(const std::uint32_t* indices, std::size_t count, const std::uint32_t* first) const {
    if (vertexTexture_.empty()) {
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(count), GL_UNSIGNED_INT, first);
        return;
    }
    // A face draws with its first corner's texture; faces keep their order.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    std::size_t start = 0;
    while (start < count) {
        const int texture = vertexTexture_[indices[start]];
        std::size_t stop = start + 3;
        while (stop < count && vertexTexture_[indices[stop]] == texture) stop += 3;
        if (texture >= 0) {
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, textures_[static_cast<std::size_t>(texture)]);
        } else {
            glDisable(GL_TEXTURE_2D);
        }
        // Address arithmetic, not pointer arithmetic: `first` may be a null
        // buffer offset.
        const auto at = reinterpret_cast<std::uintptr_t>(first) + start * sizeof(std::uint32_t);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(stop - start), GL_UNSIGNED_INT,
                       reinterpret_cast<const void*>(at));
        start = stop;
    }
}

void MeshDrawer::draw() const {
    if (!uploaded_ || indices_.empty()) return;
    beginArrays();
    loader_->glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, indexBuffer_);
    // With the index buffer bound the "pointer" is a byte offset into it.
    drawRuns(indices_.data(), indices_.size(), nullptr);
    loader_->glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    endArrays();
}

void MeshDrawer::drawIndices(const std::uint32_t* indices, std::size_t count) const {
    if (!uploaded_ || count == 0) return;
    beginArrays();
    drawRuns(indices, count, indices);
    endArrays();
}

}  // namespace kubelmar
