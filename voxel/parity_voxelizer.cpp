#include "voxel/parity_voxelizer.h"

#include <cstdio>
#include <utility>

#include "voxel/open_edges.h"

namespace kubelmar {

namespace {

// Prepared mesh (cube -1024..1024) straight to clip space: window x = mesh
// x, window y = mesh y, so on an N x N viewport pixel centre p sits on voxel
// centre -1024 + (p + 0.5) 2048 / N. sliceDepth is mesh z in slice units:
// slice i's centre at i. No matrices, so no matrix state to keep.
constexpr const char* kVertexShader = R"(#version 130
uniform float sliceScale;  // N / 2048: slices per mesh unit
out float sliceDepth;
void main() {
    gl_Position = vec4(gl_Vertex.x / 1024.0, gl_Vertex.y / 1024.0, gl_Vertex.z / 2048.0, 1.0);
    sliceDepth = (gl_Vertex.z + 1024.0) * sliceScale - 0.5;
}
)";

// Sets the bits of the pass's slices whose centres lie strictly beyond the
// fragment: slice firstSlice + b is bit b % 32 of word b / 32.
constexpr const char* kFragmentShader = R"(#version 130
uniform int firstSlice;
in float sliceDepth;
out uvec4 sliceMask;
uint bitsFrom(int first) {
    if (first <= 0) return 0xFFFFFFFFu;
    if (first >= 32) return 0u;
    return 0xFFFFFFFFu << uint(first);
}
void main() {
    int beyond = int(floor(sliceDepth)) + 1 - firstSlice;
    sliceMask = uvec4(bitsFrom(beyond), bitsFrom(beyond - 32), bitsFrom(beyond - 64), bitsFrom(beyond - 96));
}
)";

}  // namespace

std::pair<int, int> glVersionNumber(const char* text) {
    int major = 0, minor = 0;
    if (!text || std::sscanf(text, "%d.%d", &major, &minor) != 2) return {0, 0};
    return {major, minor};
}

std::string ParityVoxelizer::prepareGL(GL_Ext_Loader& loader, int n) {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (glVersionNumber(version) < std::pair(3, 0) || !loader.glClearBufferuiv)
        return "ERROR: The parity mode needs OpenGL 3.0 (integer render targets, GLSL 1.30); this is OpenGL " +
               std::string(version ? version : "(unknown)");
    if (!program_.built()) {
        std::string why;
        if (!program_.build(loader, kVertexShader, kFragmentShader, "sliceMask", &why))
            return "ERROR: The parity mode's shaders did not build: " + why;
        firstSliceUniform_ = program_.uniform("firstSlice");
        sliceScaleUniform_ = program_.uniform("sliceScale");
    }
    if (target_.size() != n && !target_.create(loader, n))
        return "ERROR: No usable OpenGL RGBA32UI render target of " + std::to_string(n) + " x " +
               std::to_string(n) + " pixels";
    return {};
}

void ParityVoxelizer::releaseGL() {
    program_.release();
    target_.release();
}

void ParityVoxelizer::abandonGL() {
    program_.abandon();
    target_.abandon();
}

void ParityVoxelizer::renderPass(const VoxelizeContext& context, int pass) {
    const int n = context.info.size;
    // Everything changed below is in these groups; the fixed-function modes
    // find their state as they left it.
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_VIEWPORT_BIT | GL_POLYGON_BIT);
    target_.clear();
    glViewport(0, 0, n, n);
    // Every fragment must reach the target exactly once: no depth test,
    // culling, smoothing (edge coverage) or scissor.
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_POLYGON_SMOOTH);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_COLOR_LOGIC_OP);
    glLogicOp(GL_XOR);
    program_.use();
    context.loader.glUniform1iARB(firstSliceUniform_, pass * kSlicesPerPass);
    context.loader.glUniform1fARB(sliceScaleUniform_, static_cast<float>(n / 2048.0));
    context.drawer.drawIndices(context.faces.data(), context.faces.size());
    program_.done();
    glPopAttrib();
}

void ParityVoxelizer::gatherWord(int word) {
    const int n = target_.size();
    plane_.resize(static_cast<std::size_t>(n) * n);
    // Stack row j runs down from +y (window row n-1-j), column k down from
    // +x (window column n-1-k): the depth-buffer mode's orientation.
    for (int j = 0; j < n; ++j) {
        const std::uint32_t* line = masks_.data() + static_cast<std::size_t>(n - 1 - j) * n * 4 + word;
        std::uint32_t* out = plane_.data() + static_cast<std::size_t>(j) * n;
        for (int k = 0; k < n; ++k) out[k] = line[4 * (n - 1 - k)];
    }
}

void ParityVoxelizer::extractSlice(int bit) {
    const std::size_t pixels = plane_.size();
    const std::uint32_t* in = plane_.data();
    std::uint32_t* out = slice_.data();
    // (255, 255, 255, 255) where the bit is set, (0, 0, 0, 0) elsewhere.
    for (std::size_t p = 0; p < pixels; ++p) out[p] = 0u - ((in[p] >> bit) & 1u);
}

WriteResult ParityVoxelizer::voxelizeParity(const VoxelizeContext& context) {
    const int n = context.info.size;
    {
        ProgressStep step(context.progress, "Checking Edges: (Step 1 of 2)", 1);
        const long open = countOpenEdges(context.mesh.positions, context.faces);
        if (open > 0)
            context.log << "WARNING: " << open << " boundary edges: the mesh is not closed; the parity solid may leak"
                        << std::endl;
    }
    if (const std::string why = prepareGL(context.loader, n); !why.empty()) return {false, why, 0};

    ProgressStep step(context.progress, "Parity Slicing: (Step 2 of 2)", n);
    WriteResult begun = context.consumer.begin(context.info);
    if (!begun.ok) return begun;
    slice_.resize(static_cast<std::size_t>(n) * n);
    const auto* rgba = reinterpret_cast<const std::uint8_t*>(slice_.data());
    for (int base = 0, pass = 0; base < n; base += kSlicesPerPass, ++pass) {
        step.setValue(base);
        target_.bind();
        renderPass(context, pass);
        target_.readPixels(masks_);
        target_.unbind();
        const int last = std::min(n, base + kSlicesPerPass);
        for (int s = base; s < last; ++s) {
            // The pass's words one at a time, in stack order, so each slice is
            // a sequential sweep over N x N words.
            if ((s - base) % 32 == 0) gatherWord((s - base) / 32);
            extractSlice((s - base) % 32);
            WriteResult written = context.consumer.slice(s, rgba);
            if (!written.ok) return written;
        }
    }
    return context.consumer.end();
}

}  // namespace kubelmar
