#pragma once

#include <array>
#include <string>
#include <vector>

#include "gl/gl_framebuffer_object.h"
#include "gl/render_target.h"
#include "voxel/axis_views.h"
#include "voxel/depth_build.h"
#include "voxel/voxelize_context.h"

namespace kubelmar {

// The "Depth-Buffer Based" mode: six axis depth pictures; a voxel is filled
// when it lies between the nearest surfaces seen from both sides along all
// three axes; written as an occupancy stack, slice by slice, straight from
// the pictures.
class DepthVoxelizer {
public:
    struct Options {
        bool fullPrecision = false;  // read depth itself, not 8-bit grey pictures
        std::string pictureDirectory;  // also write the pictures here when it exists; empty: never
        bool depthClamp = false;       // GL_ARB_depth_clamp is there
    };

    // Step 1: renders the six views and reads them back (writing the
    // pictures when asked). filesWritten counts the pictures.
    WriteResult saveDepthBuffers(const VoxelizeContext& context, const Options& options);
    // Steps 2 and 3: index bounds from the pictures, then every slice to the
    // consumer.
    WriteResult buildVoxelsFromDepthBuffers(const VoxelizeContext& context);

    // Renders view `view` into the depth-view target (its picture at the
    // lower left) and leaves the previous framebuffer bound.
    void renderDepthView(const VoxelizeContext& context, int view);
    // Draws the depth texture as a grey picture (depth x 255 in every
    // channel) into the bound framebuffer, texel (u, v) on pixel (u, v).
    void showDepthTexture();

    void releaseGL();
    void abandonGL();

private:
    struct Picture {
        int width, height;
    };
    // The view's picture in pixels (frame dims of the two axes it shows).
    Picture pictureOf(int view) const;
    bool ensureTargets(GL_Ext_Loader& loader);
    void readGrey(int view, std::vector<std::uint8_t>* rgbaTopFirst);
    void readDepth(int view);

    // The depth-view target: colour and depth textures every view's picture
    // fits (at least 1024 texels a side), and a target of the pictures'
    // largest width and height, where they are shown and read from.
    GL_FrameBufferObject frameBuffer_;
    GLuint colorTexture_ = 0;
    GLuint depthTexture_ = 0;
    int textureWidth_ = 0, textureHeight_ = 0;
    RenderTarget viewTarget_;
    bool depthClamp_ = false;

    std::array<int, 3> dims_ = {0, 0, 0};  // frame voxels along x, y, z
    bool fullPrecision_ = false;
    std::array<GreyImage, 6> grey_;
    std::array<DepthImage, 6> depth_;
    std::vector<std::uint8_t> pixels_;
    std::vector<float> depthPixels_;
};

}  // namespace kubelmar
