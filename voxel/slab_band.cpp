#include "voxel/slab_band.h"

#include <algorithm>
#include <bit>

#include "mesh/mesh_frame.h"
#include "voxel/axis_views.h"
#include "voxel/frame_view.h"

namespace kubelmar {

namespace {

constexpr int kMaxLayers = 20;  // the shader's output: 3 vertices a layer
constexpr double kBandBytes = 256.0 * 1024 * 1024;

const char* const kVertexShader = R"(#version 400 compatibility
void main() {
    gl_Position = ftransform();
    gl_FrontColor = gl_Color;
}
)";

// Each triangle is copied into the layers near its extent along the slab
// axis: `layerOf` maps clip-space z (the slab axis in every pass) to a layer
// number, one layer generous on each side. `planes` holds each layer's two
// planes in clip space. A distance is computed twice: as the GL's clipper
// does (separate products, summed left to right), which is what the
// primitive is clipped with, and as the GL's vertex stage does (fused
// multiply-adds), which only decides whether a triangle reaches the clipper;
// where their signs differ the layer is left to the slab-by-slab way.
const char* const kGeometryShader = R"(#version 430 compatibility
layout(triangles) in;
layout(triangle_strip, max_vertices = 60) out;
uniform int layerCount;
uniform vec2 layerOf;
uniform vec4 planes[40];
layout(std430, binding = 0) buffer Redo { uint redo[20]; };

float separate(vec4 p, vec4 q) {
    precise float d = p.x * q.x;
    d = d + p.y * q.y;
    d = d + p.z * q.z;
    d = d + p.w * q.w;
    return d;
}

float fused(vec4 p, vec4 q) {
    precise float d = p.x * q.x;
    d = fma(q.y, p.y, d);
    d = fma(q.z, p.z, d);
    d = fma(q.w, p.w, d);
    return d;
}

void main() {
    float lo = 1e30, hi = -1e30;
    bool outside = false;
    for (int i = 0; i < 3; ++i) {
        vec4 p = gl_in[i].gl_Position;
        float l = p.z * layerOf.x + layerOf.y;
        lo = min(lo, l);
        hi = max(hi, l);
        outside = outside || abs(p.x) > p.w || abs(p.y) > p.w || abs(p.z) > p.w;
    }
    int first = max(0, int(floor(lo)) - 1);
    int last = min(layerCount - 1, int(floor(hi)) + 1);
    for (int layer = first; layer <= last; ++layer) {
        vec4 low = planes[2 * layer];
        vec4 high = planes[2 * layer + 1];
        float d0[3], d1[3];
        bool unsure = false;
        int out0 = 0, out1 = 0;
        for (int i = 0; i < 3; ++i) {
            vec4 p = gl_in[i].gl_Position;
            d0[i] = separate(p, low);
            d1[i] = separate(p, high);
            unsure = unsure || ((d0[i] < 0.0) != (fused(p, low) < 0.0)) ||
                     ((d1[i] < 0.0) != (fused(p, high) < 0.0));
            if (d0[i] < 0.0) ++out0;
            if (d1[i] < 0.0) ++out1;
        }
        if (!unsure && (out0 == 3 || out1 == 3)) continue;
        if (unsure || outside) {
            redo[layer] = 1u;
            continue;
        }
        for (int i = 0; i < 3; ++i) {
            gl_Position = gl_in[i].gl_Position;
            gl_FrontColor = gl_in[i].gl_FrontColor;
            gl_ClipDistance[0] = d0[i];
            gl_ClipDistance[1] = d1[i];
            gl_Layer = layer;
            EmitVertex();
        }
        EndPrimitive();
    }
}
)";

const char* const kFragmentShader = R"(#version 400 compatibility
void main() {
    gl_FragColor = gl_Color;
}
)";

}  // namespace

int SlabBand::layersFor(int size) {
    const double perLayer = 8.0 * size * size;
    return std::clamp(static_cast<int>(kBandBytes / perLayer), 1, kMaxLayers);
}

bool SlabBand::usable(int size, const MeshDrawer& drawer) {
    return size > 0 && std::has_single_bit(static_cast<unsigned>(size)) && !drawer.textured();
}

bool SlabBand::prepare(GL_Ext_Loader& loader, int size, std::string* why) {
    if (ready(size)) return true;
    release();
    loader_ = &loader;
    if (!LayeredTarget::supported(loader) || !loader.glBindBufferBase || !loader.glMapBufferRange ||
        !loader.glMemoryBarrier) {
        if (why) *why = "no layered targets or storage buffers (GL 4.3)";
        return false;
    }
    if (!program_.built() && !program_.build(loader, kVertexShader, kGeometryShader, kFragmentShader, nullptr, why))
        return false;
    layerCountAt_ = program_.uniform("layerCount");
    layerOfAt_ = program_.uniform("layerOf");
    planesAt_ = program_.uniform("planes");
    if (!target_.create(loader, size, layersFor(size))) {
        if (why) *why = "no layered render target of " + std::to_string(size) + " pixels";
        release();
        return false;
    }
    loader.glGenBuffersARB(1, &redoBuffer_);
    loader.glBindBufferARB(GL_SHADER_STORAGE_BUFFER, redoBuffer_);
    loader.glBufferDataARB(GL_SHADER_STORAGE_BUFFER, kMaxLayers * sizeof(std::uint32_t), nullptr,
                           GL_DYNAMIC_READ_ARB);
    loader.glBindBufferARB(GL_SHADER_STORAGE_BUFFER, 0);
    redo_.assign(kMaxLayers, 0);
    return true;
}

void SlabBand::release() {
    target_.release();
    program_.release();
    if (loader_ && redoBuffer_) loader_->glDeleteBuffersARB(1, &redoBuffer_);
    redoBuffer_ = 0;
}

void SlabBand::abandon() {
    target_.abandon();
    program_.abandon();
    redoBuffer_ = 0;
    loader_ = nullptr;
}

// With the pass's model-view current: each layer's two planes as the GL
// keeps them for fixed-function clipping, in clip space. False when the
// projection is not the orthographic kind whose inverse is exact.
bool SlabBand::clipSpacePlanes(SlabState& slab, int first, int count) {
    float p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 11})
        if (p[i] != 0.0f) return false;
    if (p[15] != 1.0f || p[0] == 0.0f || p[5] == 0.0f || p[10] == 0.0f) return false;
    // The inverse of a scale-and-translate matrix, term by term as the GL
    // inverts it; with power-of-two scales every step is exact.
    float inv[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    inv[0] = 1.0f / p[0];
    inv[5] = 1.0f / p[5];
    inv[10] = 1.0f / p[10];
    inv[12] = -(p[12] * inv[0]);
    inv[13] = -(p[13] * inv[5]);
    inv[14] = -(p[14] * inv[10]);
    planes_.resize(static_cast<std::size_t>(8) * count);
    for (int j = 0; j < count; ++j) {
        placeSlab(slab, first + j);
        for (int side = 0; side < 2; ++side) {
            const GLenum plane = side == 0 ? GL_CLIP_PLANE0 : GL_CLIP_PLANE1;
            glClipPlane(plane, side == 0 ? slab.clipPlane0 : slab.clipPlane1);
            double eye[4];
            glGetClipPlane(plane, eye);
            const float v0 = static_cast<float>(eye[0]), v1 = static_cast<float>(eye[1]);
            const float v2 = static_cast<float>(eye[2]), v3 = static_cast<float>(eye[3]);
            float* u = &planes_[static_cast<std::size_t>(8) * j + 4 * side];
            // Row vector times the inverse, summed left to right.
            for (int c = 0; c < 4; ++c)
                u[c] = v0 * inv[4 * c] + v1 * inv[4 * c + 1] + v2 * inv[4 * c + 2] + v3 * inv[4 * c + 3];
        }
    }
    return true;
}

void SlabBand::draw(const VoxelizeContext& context, SlabState& slab, int first, int count,
                    const SlabFaces::Rect* rects, const std::uint32_t* indices, std::size_t indexCount) {
    GL_Ext_Loader& loader = *loader_;
    const int n = slab.size;
    SlabFaces::Rect all;
    int x1 = 0, y1 = 0;
    for (int j = 0; j < count; ++j) {
        const SlabFaces::Rect& r = rects[j];
        if (r.width == 0) continue;
        target_.clearLayer(j, r.x, r.y, r.width, r.height);
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
    startFrameView(n, kFrameSide);
    glScissor(all.x, all.y, all.width, all.height);
    glMultMatrixf(axisRotation(kClipPasses[slab.axis].view).m);
    std::fill(redo_.begin(), redo_.end(), 0u);
    if (!clipSpacePlanes(slab, first, count)) {
        // Not a projection the band can copy: every slab on its own.
        std::fill(redo_.begin(), redo_.begin() + count, 1u);
        glDisable(GL_SCISSOR_TEST);
        target_.unbind();
        return;
    }
    // The shader writes the clip distances; these switch them on.
    glEnable(GL_CLIP_PLANE0);
    glEnable(GL_CLIP_PLANE1);
    glDisable(GL_LIGHTING);
    glColor3f(1, 1, 1);
    loader.glBindBufferARB(GL_SHADER_STORAGE_BUFFER, redoBuffer_);
    loader.glBufferSubDataARB(GL_SHADER_STORAGE_BUFFER, 0, static_cast<GLsizeiptrARB>(redo_.size() * 4),
                              redo_.data());
    loader.glBindBufferBase(GL_SHADER_STORAGE_BUFFER, 0, redoBuffer_);
    program_.use();
    loader.glUniform1iARB(layerCountAt_, count);
    loader.glUniform4fvARB(planesAt_, 2 * count, planes_.data());
    // Clip z is the slab axis: eye z = -kFrameSide * clip z, the slab axis
    // +eye z in the XY pass and -eye z in the others; slab k covers
    // [half - (k + 1) step, half - k step] of it. Only a guide: the planes
    // decide.
    const double perStep = kFrameSide / slab.gridStep * (slab.axis == 0 ? 1 : -1);
    loader.glUniform2fARB(layerOfAt_, static_cast<float>(perStep),
                          static_cast<float>(slab.half / slab.gridStep - first));
    context.drawer.drawIndices(indices, indexCount);
    program_.done();
    loader.glBindBufferBase(GL_SHADER_STORAGE_BUFFER, 0, 0);
    glDisable(GL_CLIP_PLANE0);
    glDisable(GL_CLIP_PLANE1);
    glDisable(GL_SCISSOR_TEST);
    loader.glMemoryBarrier(GL_BUFFER_UPDATE_BARRIER_BIT);
    loader.glBindBufferARB(GL_SHADER_STORAGE_BUFFER, redoBuffer_);
    if (const void* mapped = loader.glMapBufferRange(GL_SHADER_STORAGE_BUFFER, 0,
                                                      static_cast<GLsizeiptr>(redo_.size() * 4), GL_MAP_READ_BIT)) {
        std::copy_n(static_cast<const std::uint32_t*>(mapped), redo_.size(), redo_.data());
        loader.glUnmapBufferARB(GL_SHADER_STORAGE_BUFFER);
    } else {
        std::fill(redo_.begin(), redo_.begin() + count, 1u);
    }
    loader.glBindBufferARB(GL_SHADER_STORAGE_BUFFER, 0);
    target_.unbind();
}

}  // namespace kubelmar
