#include "voxel/slab_band.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "mesh/mesh_frame.h"
#include "voxel/axis_views.h"
#include "voxel/frame_view.h"

namespace kubelmar {

namespace {

constexpr int kMaxLayers = 8;
constexpr double kBandBytes = 128.0 * 1024 * 1024;

// No fragment shader: fragments (vertex colour, or a texture under
// GL_REPLACE) go through the fixed-function stage as they do slab by slab.
// `toEye` is the inverse projection's diagonal (powers of two).
std::string vertexShader(bool textured) {
    return std::string(R"(#version 400 compatibility
#extension GL_ARB_shader_viewport_layer_array : require
uniform int layer;
uniform vec4 toEye;
void main() {
    gl_Position = ftransform();
    gl_ClipVertex = gl_Position * toEye;
    gl_FrontColor = gl_Color;
)") + (textured ? "    gl_TexCoord[0] = gl_MultiTexCoord0;\n" : "") +
           "    gl_Layer = layer;\n}\n";
}

bool powerOfTwo(float v) {
    int exponent = 0;
    return v != 0.0f && std::isfinite(v) && std::abs(std::frexp(v, &exponent)) == 0.5f;
}

}  // namespace

int SlabBand::layersFor(int width, int height) {
    const double perLayer = 8.0 * width * height;
    return std::clamp(static_cast<int>(kBandBytes / perLayer), 1, kMaxLayers);
}

bool SlabBand::provenOnThisGL() {
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return renderer && std::strncmp(renderer, "llvmpipe", 8) == 0;
}

bool SlabBand::prepare(GL_Ext_Loader& loader, int width, int height, const MeshDrawer& drawer, bool anyGL,
                       std::string* why) {
    loader_ = &loader;
    if (!anyGL && !provenOnThisGL()) {
        if (why) *why = "bands are compared with slab by slab on llvmpipe only";
        return false;
    }
    if (!LayeredTarget::supported(loader)) {
        if (why) *why = "no layered render targets (GL 4.4)";
        return false;
    }
    // The shader draws texture coordinates only for a textured mesh, so that
    // an untextured one sends what the fixed-function stage would.
    if (!program_.built() || textured_ != drawer.textured()) {
        textured_ = drawer.textured();
        if (!program_.build(loader, vertexShader(textured_).c_str(), nullptr, nullptr, nullptr,
                            why))
            return false;
        layerAt_ = program_.uniform("layer");
        toEyeAt_ = program_.uniform("toEye");
    }
    if ((target_.width() != width || target_.height() != height) &&
        !target_.create(loader, width, height, layersFor(width, height))) {
        if (why) *why = "no layered render target of " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
        return false;
    }
    return true;
}

void SlabBand::release() {
    target_.release();
    program_.release();
}

void SlabBand::abandon() {
    target_.abandon();
    program_.abandon();
    loader_ = nullptr;
}

bool SlabBand::begin(const SlabState& slab, int count, const SlabFaces::Cover* covers) {
    SlabFaces::Rect all;
    int x1 = 0, y1 = 0;
    for (int j = 0; j < count; ++j) {
        const SlabFaces::Rect& r = covers[j].all;
        if (r.width == 0) continue;
        for (const SlabFaces::Rect& part : covers[j].parts)
            target_.clearLayer(j, part.x, part.y, part.width, part.height);
        if (all.width == 0) {
            all.x = r.x;
            all.y = r.y;
        }
        all.x = std::min(all.x, r.x);
        all.y = std::min(all.y, r.y);
        x1 = std::max(x1, r.x + r.width);
        y1 = std::max(y1, r.y + r.height);
        all.width = x1 - all.x;
        all.height = y1 - all.y;
    }
    target_.bind();
    glEnable(GL_SCISSOR_TEST);
    // The layers are cleared above, rectangle by rectangle: an empty scissor
    // box turns the frame view's clear into nothing.
    glScissor(0, 0, 0, 0);
    startFrameView(slab.width, slab.height, kFrameSide);
    glScissor(all.x, all.y, all.width, all.height);
    // An orthographic projection that only scales by powers of two: its
    // inverse is exact and so is the shader's clip vertex.
    float p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    bool exact = p[15] == 1.0f && p[12] == 0.0f && p[13] == 0.0f && p[14] == 0.0f;
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 11}) exact = exact && p[i] == 0.0f;
    for (int i : {0, 5, 10}) exact = exact && powerOfTwo(p[i]);
    if (!exact) {
        glDisable(GL_SCISSOR_TEST);
        target_.unbind();
        return false;
    }
    glMultMatrixf(axisRotation(kClipPasses[slab.axis].view).m);
    glEnable(GL_CLIP_PLANE0);
    glEnable(GL_CLIP_PLANE1);
    glDisable(GL_LIGHTING);
    glColor3f(1, 1, 1);
    program_.use();
    loader_->glUniform4fARB(toEyeAt_, 1.0f / p[0], 1.0f / p[5], 1.0f / p[10], 1.0f);
    return true;
}

void SlabBand::drawSlab(const VoxelizeContext& context, const SlabState& slab, int j, const std::uint32_t* indices,
                        std::size_t indexCount) {
    // Taken under the pass's model-view, as slab by slab: eye-space planes.
    glClipPlane(GL_CLIP_PLANE0, slab.clipPlane0);
    glClipPlane(GL_CLIP_PLANE1, slab.clipPlane1);
    loader_->glUniform1iARB(layerAt_, j);
    context.drawer.drawIndices(indices, indexCount);
}

void SlabBand::end() {
    program_.done();
    glDisable(GL_CLIP_PLANE0);
    glDisable(GL_CLIP_PLANE1);
    glDisable(GL_SCISSOR_TEST);
    target_.unbind();
}

}  // namespace kubelmar
