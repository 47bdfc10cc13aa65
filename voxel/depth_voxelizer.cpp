#include "voxel/depth_voxelizer.h"

#include <algorithm>
#include <filesystem>

#include "formats/png_io.h"
#include "mesh/mesh_frame.h"
#include "voxel/frame_view.h"

namespace kubelmar {

namespace {
// The depth views' textures are at least this many texels a side.
constexpr int kMinTextureSize = 1024;
}  // namespace

DepthVoxelizer::Picture DepthVoxelizer::pictureOf(int view) const {
    // Views 0, 1 show (x, y), 2, 3 (z, y), 4, 5 (x, z) of the frame.
    const int nx = dims_[0], ny = dims_[1], nz = dims_[2];
    if (view < 2) return {nx, ny};
    if (view < 4) return {nz, ny};
    return {nx, nz};
}

bool DepthVoxelizer::ensureTargets(GL_Ext_Loader& loader) {
    const int nx = dims_[0], ny = dims_[1], nz = dims_[2];
    // Every view's picture fits at the lower left: nx x ny, nz x ny, nx x nz.
    const int width = std::max(nx, nz), height = std::max(ny, nz);
    const int wantedWidth = std::max(kMinTextureSize, width), wantedHeight = std::max(kMinTextureSize, height);
    if (textureWidth_ != wantedWidth || textureHeight_ != wantedHeight) {
        releaseGL();
        glGenTextures(1, &colorTexture_);
        glGenTextures(1, &depthTexture_);
        auto setUp = [&](GLuint texture, GLint internalFormat, GLenum format) {
            glBindTexture(GL_TEXTURE_2D, texture);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, wantedWidth, wantedHeight, 0, format, GL_UNSIGNED_BYTE,
                         nullptr);
            glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        };
        setUp(colorTexture_, GL_RGBA, GL_RGBA);
        setUp(depthTexture_, GL_DEPTH_COMPONENT, GL_DEPTH_COMPONENT);
        glBindTexture(GL_TEXTURE_2D, 0);
        frameBuffer_.loader = &loader;
        frameBuffer_.log = nullptr;
        frameBuffer_.init(wantedWidth, wantedHeight, GL_RGBA, colorTexture_, depthTexture_);
        frameBuffer_.bind(frameBuffer_.framebufferId);
        const GLenum status = loader.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
        frameBuffer_.unbind();
        if (status != GL_FRAMEBUFFER_COMPLETE_EXT) {
            releaseGL();
            return false;
        }
        textureWidth_ = wantedWidth;
        textureHeight_ = wantedHeight;
    }
    if (!viewTarget_.hasSize(width, height) && !viewTarget_.create(loader, width, height)) return false;
    return true;
}

void DepthVoxelizer::releaseGL() {
    viewTarget_.release();
    if (textureWidth_ == 0 && !colorTexture_) return;
    frameBuffer_.release();
    glDeleteTextures(1, &colorTexture_);
    glDeleteTextures(1, &depthTexture_);
    colorTexture_ = depthTexture_ = 0;
    textureWidth_ = textureHeight_ = 0;
}

void DepthVoxelizer::abandonGL() {
    viewTarget_.abandon();
    frameBuffer_.framebufferId = 0;
    frameBuffer_.depthRenderbuffer = 0;
    colorTexture_ = depthTexture_ = 0;
    textureWidth_ = textureHeight_ = 0;
}

void DepthVoxelizer::renderDepthView(const VoxelizeContext& context, int view) {
    frameBuffer_.bind(frameBuffer_.framebufferId);
    // The frame cube fills the view. Window depth of eye z':
    // (1 - z' / kFrameHalfSide) / 2, 0 nearest to the viewer.
    const Picture picture = pictureOf(view);
    startFrameView(picture.width, picture.height, kFrameHalfSide);
    glMultMatrixf(axisRotation(kDepthViews[view].view).m);
    // Depth clamping keeps faces lying exactly on the near or far plane (every
    // prepared mesh touches them) from being clipped by rounding; it leaves
    // the depth mapping as it is.
    if (depthClamp_) glEnable(GL_DEPTH_CLAMP);
    // The view's polygon offset pushes a steep face back by up to a pixel's
    // worth of its slope: harmless in 8-bit pictures, a voxel off at full
    // precision, so it is off there.
    if (fullPrecision_) glDisable(GL_POLYGON_OFFSET_FILL);
    context.drawer.drawIndices(context.faces.data(), context.faces.size());
    if (fullPrecision_) glEnable(GL_POLYGON_OFFSET_FILL);
    if (depthClamp_) glDisable(GL_DEPTH_CLAMP);
    if (fullPrecision_) readDepth(view);
    frameBuffer_.unbind();
}

void DepthVoxelizer::showDepthTexture() {
    startFrameView(textureWidth_, textureHeight_, kFrameHalfSide);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, depthTexture_);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(-kFrameHalfSide, -kFrameHalfSide, 0);
    glTexCoord2f(0, 1);
    glVertex3f(-kFrameHalfSide, kFrameHalfSide, 0);
    glTexCoord2f(1, 1);
    glVertex3f(kFrameHalfSide, kFrameHalfSide, 0);
    glTexCoord2f(1, 0);
    glVertex3f(kFrameHalfSide, -kFrameHalfSide, 0);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
}

// Reads the shown picture (bound target) as grey levels, top row first, and
// as an RGB picture for the file when asked.
void DepthVoxelizer::readGrey(int view, std::vector<std::uint8_t>* rgbaTopFirst) {
    const auto [w, h] = pictureOf(view);
    viewTarget_.readPixels(0, 0, w, h, pixels_);
    GreyImage& grey = grey_[view];
    grey.resize(static_cast<std::size_t>(w) * h);
    if (rgbaTopFirst) rgbaTopFirst->resize(static_cast<std::size_t>(w) * h * 4);
    for (int row = 0; row < h; ++row) {
        const std::uint8_t* src = pixels_.data() + static_cast<std::size_t>(h - 1 - row) * w * 4;
        for (int c = 0; c < w; ++c) {
            const std::uint8_t* p = src + 4 * c;
            grey[static_cast<std::size_t>(row) * w + c] = static_cast<std::uint8_t>(greyLevel(p[0], p[1], p[2]));
            if (rgbaTopFirst) {
                std::uint8_t* q = rgbaTopFirst->data() + (static_cast<std::size_t>(row) * w + c) * 4;
                q[0] = p[0];
                q[1] = p[1];
                q[2] = p[2];
                q[3] = 255;
            }
        }
    }
}

// Reads the bound depth-view target's depth buffer (the view's picture at
// the lower left), top row first.
void DepthVoxelizer::readDepth(int view) {
    const auto [w, h] = pictureOf(view);
    depthPixels_.resize(static_cast<std::size_t>(w) * h);
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_DEPTH_COMPONENT, GL_FLOAT, depthPixels_.data());
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    DepthImage& depth = depth_[view];
    depth.resize(depthPixels_.size());
    for (int row = 0; row < h; ++row)
        std::copy_n(depthPixels_.data() + static_cast<std::size_t>(h - 1 - row) * w, w,
                    depth.data() + static_cast<std::size_t>(row) * w);
}

WriteResult DepthVoxelizer::saveDepthBuffers(const VoxelizeContext& context, const Options& options) {
    WriteResult result;
    dims_ = context.frame.dims;
    fullPrecision_ = options.fullPrecision;
    depthClamp_ = options.depthClamp;
    if (!ensureTargets(context.loader))
        return runFailure("no usable OpenGL render target for pictures of " + std::to_string(dims_[0]) + " x " +
                          std::to_string(dims_[1]) + " x " + std::to_string(dims_[2]) + " voxels");
    ProgressStep step(context.progress, "Saving Depth-Buffers: (Step 1 of 3)", 6);
    step.setValue(0);
    // The pictures are written for people who use them, when the folder is
    // there; the volume is built from the copies in memory.
    std::error_code ec;
    const bool writeFiles =
        !options.pictureDirectory.empty() && std::filesystem::is_directory(options.pictureDirectory, ec);
    std::vector<std::uint8_t> rgba;
    for (int v = 0; v < 6; ++v) {
        if (v > 0) step.setValue(v);
        renderDepthView(context, v);
        viewTarget_.bind();
        showDepthTexture();
        readGrey(v, writeFiles ? &rgba : nullptr);
        viewTarget_.unbind();
        if (!writeFiles) continue;
        const std::string path = options.pictureDirectory + "/" + kDepthViews[v].fileName;
        std::string reason;
        // Saved without alpha, as a grab of the picture gives it.
        const Picture picture = pictureOf(v);
        if (!writePngRGBA(path, picture.width, picture.height, rgba.data(), &reason, false)) {
            WriteResult failed = writeFailure(path, reason);
            failed.filesWritten = result.filesWritten;
            return failed;
        }
        ++result.filesWritten;
    }
    return result;
}

WriteResult DepthVoxelizer::buildVoxelsFromDepthBuffers(const VoxelizeContext& context) {
    // Slices up z, nx x ny pixels each.
    const int n = dims_[2];
    OccupancyBuilder builder;
    {
        ProgressStep step(context.progress, "Building Voxels: (Step 2 of 3)", n);
        if (fullPrecision_) builder.prepare(depth_, dims_);
        else builder.prepare(grey_, dims_);
    }
    ProgressStep step(context.progress, "Saving Voxels: (Step 3 of 3)", n);
    WriteResult begun = context.consumer.begin(context.info);
    if (!begun.ok) return begun;
    std::vector<std::uint32_t> slice(static_cast<std::size_t>(dims_[0]) * dims_[1]);
    auto* rgba = reinterpret_cast<std::uint8_t*>(slice.data());
    SliceRows rows;
    for (int i = 0; i < n; ++i) {
        step.setValue(i);
        builder.buildSlice(i, rgba, rows);
        WriteResult written = context.consumer.sliceWithRows(i, rgba, rows);
        if (!written.ok) return written;
    }
    return context.consumer.end();
}

}  // namespace kubelmar
