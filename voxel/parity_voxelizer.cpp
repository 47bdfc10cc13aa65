#include "voxel/parity_voxelizer.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <system_error>
#include <thread>

#include "mesh/mesh_frame.h"
#include "voxel/open_edges.h"

namespace kubelmar {

namespace {

// Every fragment reaches the target exactly once: no depth test, culling,
// smoothing (edge coverage), offset, stencil, alpha test or blending, and
// polygons filled. Inside a glPushAttrib of the enable and polygon bits.
void everyFragmentOnce() {
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_POLYGON_SMOOTH);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}


// Prepared mesh (the frame cube, half side F = kFrameHalfSide) straight to
// clip space, the ray's axis as depth: window (x, y) is mesh (y, z) along x,
// (x, z) along y, (x, y) along z, so on a viewport of the grid's dims pixel
// centre p sits on voxel centre -F + (p + 0.5) 2F / n. sliceDepth is the ray
// coordinate in slice units: slice i's centre at i. No matrices, so no matrix state to
// keep. FRAME_HALF_SIDE is defined in front of the body (vertexShaderText).
constexpr const char* kVertexShaderBody = R"(
uniform int axis;          // 0 x, 1 y, 2 z
uniform float sliceScale;  // n / (2 FRAME_HALF_SIDE): slices per mesh unit along the ray
out float sliceDepth;
void main() {
    vec3 p = gl_Vertex.xyz;
    vec3 q = axis == 0 ? p.yzx : axis == 1 ? p.xzy : p;
    gl_Position = vec4(q.x / FRAME_HALF_SIDE, q.y / FRAME_HALF_SIDE, q.z / (2.0 * FRAME_HALF_SIDE), 1.0);
    sliceDepth = (q.z + FRAME_HALF_SIDE) * sliceScale - 0.5;
}
)";

std::string vertexShaderText(const char* version = "#version 130") {
    // Whole mesh units, written as a GLSL float literal ("1024.0").
    static_assert(kFrameHalfSide == static_cast<float>(static_cast<int>(kFrameHalfSide)));
    return std::string(version) + "\n#define FRAME_HALF_SIDE " + std::to_string(static_cast<int>(kFrameHalfSide)) +
           ".0" + kVertexShaderBody;
}

// A count pass covers countBands_ passes' worth of slices (128 each, up to
// kMaxCountBands): every fragment is shaded once per count pass, not once
// per band of slices, and the later bands' masks wait for the calls that
// ask for them.
//
// The count buffer: 64 words a pixel per band, rows of `width` pixels from
// window row rowFirst up. Slice b of the count pass has the 16-bit half b % 2 of
// word b / 2: the sum of the crossings between its centre and the centre
// before it (for the first pass along an axis, all crossings below slice 0
// go to slice 0). Crossings below a later pass's first slice were counted
// by an earlier pass, whose totals the CPU carries on. Halves are added as
// parts of one 32-bit word, so a negative low half borrows from the high
// one; decodeHalves gives it back. A change is exact while fewer than 32768
// crossings of one pixel fall between two neighbouring slice centres.
constexpr int kMaxCountBands = ParityVoxelizer::kMaxCountBands;
constexpr int kBandWords = ParityVoxelizer::kSlicesPerPass / 2;
static_assert(kMaxCountBands * ParityVoxelizer::kSlicesPerPass / 32 <= 32, "one mark bit per 32 slices");
constexpr std::size_t kCountBufferBytes = std::size_t(128) << 20;
// Memory the bands kept for later calls may take (bytes): N = 1024 keeps
// three more bands, 2048 one, 4096 none.
constexpr std::size_t kKeptBandBytes = std::size_t(64) << 20;

constexpr const char* kCountFragmentShader = R"(#version 430 compatibility
layout(std430, binding = 0) buffer Counts { uint counts[]; };
uniform int firstSlice;
uniform int slots;  // of the count pass: 128 a band
uniform int rowFirst;
uniform int rowCount;
uniform int width;
uniform int frontSign;  // what a face turned towards the viewer adds
in float sliceDepth;
out uvec4 sliceMask;
void main() {
    int row = int(gl_FragCoord.y) - rowFirst;
    int slot = int(floor(sliceDepth)) + 1 - firstSlice;  // first slice centre beyond the fragment
    // Fragments outside the pass's slices are dropped before any output:
    // most fragments of every pass, and their colour writes cost as much
    // as the counting.
    if (row < 0 || row >= rowCount || slot >= slots) discard;
    if (slot < 0) {
        if (firstSlice > 0) discard;  // an earlier pass counted it
        slot = 0;
    }
    uint change = uint(gl_FrontFacing ? frontSign : -frontSign);
    uint word = uint(row * width + int(gl_FragCoord.x)) * uint(slots / 2) + uint(slot) / 2u;
    atomicAdd(counts[word], change << (16u * (uint(slot) & 1u)));
    // ORed in: bit g marks that group g of the pixel's counts (32 slices,
    // 16 words) has changes to read.
    sliceMask = uvec4(1u << (uint(slot) / 32u), 0u, 0u, 0u);
}
)";

// The two signed 16-bit changes packed into one count word (low half first).
inline void decodeHalves(std::uint32_t word, int& low, int& high) {
    low = static_cast<std::int16_t>(word & 0xFFFFu);
    high = static_cast<std::int16_t>(((word - static_cast<std::uint32_t>(low)) >> 16) & 0xFFFFu);
}

// Threads that sum counts: the cores the machine has, up to 4.
std::size_t scanThreads() {
    static const std::size_t threads = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    return threads;
}

// Pixels first .. last - 1 of a count pass: each pixel's changes summed
// along the ray from the count it carried in, so that bit b of band j's mask
// (bands[j], 4 words a pixel) is set when the winding number at the pass's
// slice 128 j + b is not 0 (j < bandCount). Bit g of the pixel's mark says
// which groups of 32 slices (16 words) got changes; only those words are
// read, and zeroed for the next pass.
void sumCounts(std::uint32_t* counts, const std::uint32_t* marks, std::uint32_t* const* bands, int bandCount,
               int* carried, std::size_t first, std::size_t last) {
    const int groups = 4 * bandCount;
    for (std::size_t p = first; p < last; ++p) {
        const std::uint32_t mark = marks[4 * p];
        int count = carried[p];
        std::uint32_t* c = counts + p * kBandWords * bandCount;
        for (int g = 0; g < groups; ++g) {
            std::uint32_t& bits = bands[g / 4][4 * p + g % 4];
            if ((mark >> g & 1u) == 0) {
                // No crossing in these 32 slices: the count stays.
                bits = count != 0 ? ~0u : 0u;
                continue;
            }
            std::uint32_t word = 0;
            std::uint32_t* pairs = c + 16 * g;
            for (int w = 0; w < 16; ++w) {
                const std::uint32_t pair = pairs[w];
                if (pair == 0) {
                    word |= (count != 0 ? 3u : 0u) << (2 * w);
                    continue;
                }
                pairs[w] = 0;
                int low, high;
                decodeHalves(pair, low, high);
                count += low;
                word |= static_cast<std::uint32_t>(count != 0) << (2 * w);
                count += high;
                word |= static_cast<std::uint32_t>(count != 0) << (2 * w + 1);
            }
            bits = word;
        }
        carried[p] = count;
    }
}

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

// Transposes a 32 x 32 bit matrix in place: bit j of a[i] goes to bit i of
// a[j] (bit 0 the least significant).
void transpose32(std::uint32_t* a) {
    std::uint32_t m = 0x0000FFFFu;
    for (int j = 16; j != 0; j >>= 1, m ^= m << j) {
        for (int k = 0; k < 32; k = (k + j + 1) & ~j) {
            const std::uint32_t t = ((a[k] >> j) ^ a[k + j]) & m;
            a[k] ^= t << j;
            a[k + j] ^= t;
        }
    }
}

}  // namespace

std::pair<int, int> glVersionNumber(const char* text) {
    int major = 0, minor = 0;
    if (!text || std::sscanf(text, "%d.%d", &major, &minor) != 2) return {0, 0};
    return {major, minor};
}

std::string ParityVoxelizer::prepareGL(GL_Ext_Loader& loader, int width, int height) {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (glVersionNumber(version) < std::pair(3, 0) || !loader.glClearBufferuiv)
        return "the parity mode needs OpenGL 3.0 (integer render targets, GLSL 1.30); this is OpenGL " +
               std::string(version ? version : "(unknown)");
    if (!program_.built()) {
        std::string why;
        if (!program_.build(loader, vertexShaderText().c_str(), kFragmentShader, "sliceMask", &why))
            return "the parity mode's shaders did not build: " + why;
        firstSliceUniform_ = program_.uniform("firstSlice");
        sliceScaleUniform_ = program_.uniform("sliceScale");
        axisUniform_ = program_.uniform("axis");
    }
    if (!target_.hasSize(width, height) && !target_.create(loader, width, height, RenderTarget::Format::Integer))
        return "no usable OpenGL RGBA32UI render target of " + std::to_string(width) + " x " +
               std::to_string(height) + " pixels";
    return {};
}

std::string ParityVoxelizer::prepareCountGL(GL_Ext_Loader& loader, int n, int height, int depth) {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (glVersionNumber(version) < std::pair(4, 3) || !loader.glBindBufferBase || !loader.glClearBufferSubData ||
        !loader.glMapBufferRange || !loader.glMemoryBarrier)
        return "--inside nonzero needs OpenGL 4.3 (shader storage buffers); this is OpenGL " +
               std::string(version ? version : "(unknown)");
    if (!countProgram_.built()) {
        std::string why;
        if (!countProgram_.build(loader, vertexShaderText("#version 430 compatibility").c_str(),
                                 kCountFragmentShader, "sliceMask", &why))
            return "the nonzero rule's shaders did not build: " + why;
        const char* names[8] = {"firstSlice", "rowFirst", "rowCount", "width", "frontSign", "axis", "slots", "sliceScale"};
        for (int u = 0; u < 8; ++u) countUniforms_[u] = countProgram_.uniform(names[u]);
    }
    if (countSize_ != n || countHeight_ != height || countDepth_ != depth || !countBuffer_) {
        GLint limit = 0;
        glGetIntegerv(GL_MAX_SHADER_STORAGE_BLOCK_SIZE, &limit);
        const std::size_t bytes = std::min<std::size_t>(kCountBufferBytes, limit > 0 ? limit : kCountBufferBytes);
        // As many bands a count pass as the memory for the kept ones allows
        // and the slices need.
        const std::size_t bandBytes = static_cast<std::size_t>(n) * height * 16;
        const auto bandsNeeded = static_cast<std::size_t>((depth + kSlicesPerPass - 1) / kSlicesPerPass);
        countBands_ = static_cast<int>(std::min<std::size_t>({kMaxCountBands, 1 + kKeptBandBytes / bandBytes, bandsNeeded}));
        const std::size_t rowBytes = static_cast<std::size_t>(n) * kBandWords * countBands_ * 4;
        countRows_ = static_cast<int>(std::clamp<std::size_t>(bytes / rowBytes, 1, height));
        countLoader_ = &loader;
        if (!countBuffer_) loader.glGenBuffersARB(1, &countBuffer_);
        loader.glBindBufferARB(GL_SHADER_STORAGE_BUFFER, countBuffer_);
        while (glGetError() != GL_NO_ERROR) {}
        loader.glBufferDataARB(GL_SHADER_STORAGE_BUFFER, static_cast<GLsizeiptr>(rowBytes * countRows_), nullptr,
                               GL_STREAM_READ);
        const bool made = glGetError() == GL_NO_ERROR;
        // Zero once: from then on each pass zeroes the counts it read.
        if (made)
            loader.glClearBufferSubData(GL_SHADER_STORAGE_BUFFER, GL_R32UI, 0,
                                        static_cast<GLsizeiptr>(rowBytes * countRows_), GL_RED_INTEGER,
                                        GL_UNSIGNED_INT, nullptr);
        loader.glBindBufferARB(GL_SHADER_STORAGE_BUFFER, 0);
        countSize_ = made ? n : 0;
        countHeight_ = height;
        countDepth_ = depth;
        if (!made) return "no OpenGL storage buffer of " + std::to_string(rowBytes * countRows_) + " bytes";
    }
    return {};
}

void ParityVoxelizer::releaseGL() {
    program_.release();
    target_.release();
    countProgram_.release();
    if (countBuffer_ && countLoader_) countLoader_->glDeleteBuffersARB(1, &countBuffer_);
    countBuffer_ = 0;
    countSize_ = 0;
}

void ParityVoxelizer::abandonGL() {
    program_.abandon();
    target_.abandon();
    countProgram_.abandon();
    countBuffer_ = 0;
    countSize_ = 0;
}

ParityVoxelizer::Pass ParityVoxelizer::passOf(const VoxelizeContext& context, int axis) {
    // Window (x, y) is frame (y, z) along x, (x, z) along y, (x, y) along z.
    const std::array<int, 3>& d = context.frame.dims;
    if (axis == 0) return {d[1], d[2], d[0]};
    if (axis == 1) return {d[0], d[2], d[1]};
    return {d[0], d[1], d[2]};
}

void ParityVoxelizer::renderPass(const VoxelizeContext& context, int axis, int firstSlice, int rowFirst,
                                 int rowCount) {
    const Pass pass = passOf(context, axis);
    // Everything changed below is in these groups; the fixed-function modes
    // find their state as they left it.
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_VIEWPORT_BIT | GL_POLYGON_BIT | GL_SCISSOR_BIT);
    glViewport(0, 0, pass.width, pass.height);
    glEnable(GL_SCISSOR_TEST);  // the clear too
    glScissor(0, rowFirst, pass.width, rowCount);
    target_.clear();
    everyFragmentOnce();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_COLOR_LOGIC_OP);
    glLogicOp(GL_XOR);
    program_.use();
    context.loader.glUniform1iARB(axisUniform_, axis);
    context.loader.glUniform1iARB(firstSliceUniform_, firstSlice);
    context.loader.glUniform1fARB(sliceScaleUniform_,
                                  static_cast<float>(pass.depth / static_cast<double>(kFrameSide)));
    context.drawer.drawIndices(context.faces.data(), context.faces.size());
    program_.done();
    glPopAttrib();
}

void ParityVoxelizer::renderCountPass(const VoxelizeContext& context, int axis, int firstSlice, int rowFirst,
                                      int rowCount) {
    GL_Ext_Loader& gl = context.loader;
    const Pass pass = passOf(context, axis);
    gl.glBindBufferBase(GL_SHADER_STORAGE_BUFFER, 0, countBuffer_);
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_VIEWPORT_BIT | GL_POLYGON_BIT | GL_SCISSOR_BIT);
    glViewport(0, 0, pass.width, pass.height);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, rowFirst, pass.width, rowCount);
    everyFragmentOnce();  // each counted exactly once
    glFrontFace(GL_CCW);
    // The colour output marks the pixels that got a count, ORed in (never
    // written opaquely: llvmpipe drops what a tile was given before a face
    // that covers it opaquely, storage writes included).
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_COLOR_LOGIC_OP);
    glLogicOp(GL_OR);
    countProgram_.use();
    // Window (x, y, depth) is mesh (y, z, x) along x and (x, y, z) along z,
    // both turns: a face wound counter-clockwise on screen has its normal
    // towards +axis, so it leaves the solid (-1). Along y the window is
    // (x, z, y), a mirror image: such a face enters (+1).
    const int frontSign = axis == 1 ? 1 : -1;
    const int values[7] = {firstSlice, rowFirst, rowCount, pass.width, frontSign, axis, kSlicesPerPass * countBands_};
    for (int u = 0; u < 7; ++u) gl.glUniform1iARB(countUniforms_[u], values[u]);
    gl.glUniform1fARB(countUniforms_[7], static_cast<float>(pass.depth / static_cast<double>(kFrameSide)));
    context.drawer.drawIndices(context.faces.data(), context.faces.size());
    countProgram_.done();
    gl.glMemoryBarrier(GL_BUFFER_UPDATE_BARRIER_BIT);
    gl.glBindBufferBase(GL_SHADER_STORAGE_BUFFER, 0, 0);
    glPopAttrib();
}

void ParityVoxelizer::passMasks(const VoxelizeContext& context, int axis, int firstSlice, int rowFirst,
                                int rowCount) {
    const int n = passOf(context, axis).width;
    if (rule_ == InsideRule::Parity) {
        target_.bind();
        renderPass(context, axis, firstSlice, rowFirst, rowCount);
        target_.readRows(rowFirst, rowCount, masks_, n);
        target_.unbind();
        return;
    }
    // A band comes from the count pass that covers it, kept since that ran
    // for the same rows. Passes along an axis come in order from slice 0
    // (carry_ holds the counts below the next count pass); a band asked for
    // out of that order counts the axis over.
    const int passSlices = kSlicesPerPass * countBands_;
    const int passFirst = firstSlice - firstSlice % passSlices;
    const int band = (firstSlice - passFirst) / kSlicesPerPass;
    CountState& state = counted_[axis];
    const bool sameRows = state.rowFirst == rowFirst && state.rowCount == rowCount;
    if (!sameRows || state.passFirst != passFirst || state.handedOut[band]) {
        if (!sameRows || state.next > passFirst) {
            state.rowFirst = rowFirst;
            state.rowCount = rowCount;
            state.next = 0;
            carry_[axis].assign(static_cast<std::size_t>(n) * rowCount, 0);
        }
        while (state.next <= passFirst && countError_.empty()) {
            countPass(context, axis, state.next, rowFirst, rowCount);
            state.passFirst = state.next;
            state.next += passSlices;
            std::fill(std::begin(state.handedOut), std::end(state.handedOut), false);
        }
    }
    masks_.swap(state.bands[band]);
    state.handedOut[band] = true;
}

void ParityVoxelizer::countPass(const VoxelizeContext& context, int axis, int passFirst, int rowFirst, int rowCount) {
    const int n = passOf(context, axis).width;
    CountState& state = counted_[axis];
    for (int j = 0; j < countBands_; ++j) state.bands[j].resize(static_cast<std::size_t>(n) * rowCount * 4);
    GL_Ext_Loader& gl = context.loader;
    target_.bind();
    glPushAttrib(GL_ENABLE_BIT | GL_SCISSOR_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, rowFirst, n, rowCount);
    target_.clear();
    glPopAttrib();
    for (int strip = rowFirst; strip < rowFirst + rowCount; strip += countRows_) {
        const int rows = std::min(countRows_, rowFirst + rowCount - strip);
        const std::size_t pixels = static_cast<std::size_t>(n) * rows;
        renderCountPass(context, axis, passFirst, strip, rows);
        // Which groups of each pixel a fragment of this pass reached: only
        // their counts are read (and zeroed for the next pass), in place.
        target_.readRows(strip, rows, reached_, n);
        gl.glBindBufferARB(GL_SHADER_STORAGE_BUFFER, countBuffer_);
        auto* counts = static_cast<std::uint32_t*>(
            gl.glMapBufferRange(GL_SHADER_STORAGE_BUFFER, 0,
                                static_cast<GLsizeiptr>(pixels * kBandWords * countBands_ * 4),
                                GL_MAP_READ_BIT | GL_MAP_WRITE_BIT));
        if (!counts) {
            countError_ = "the nonzero rule's counts could not be read back (glMapBufferRange failed)";
            gl.glBindBufferARB(GL_SHADER_STORAGE_BUFFER, 0);
            break;
        }
        // Each pixel's counts summed along the ray, in parts of the strip
        // side by side: the GL's threads are idle meanwhile.
        const std::size_t offset = static_cast<std::size_t>(strip - rowFirst) * n;
        std::uint32_t* bands[kMaxCountBands];
        for (int j = 0; j < countBands_; ++j) bands[j] = state.bands[j].data() + offset * 4;
        int* carried = carry_[axis].data() + offset;
        const std::size_t parts = std::min<std::size_t>(scanThreads(), pixels / 4096 + 1);
        std::vector<std::thread> helpers;
        for (std::size_t part = 1; part < parts; ++part) {
            const std::size_t first = pixels * part / parts, last = pixels * (part + 1) / parts;
            try {
                helpers.emplace_back(sumCounts, counts, reached_.data(), bands, countBands_, carried, first, last);
            } catch (const std::system_error&) {
                sumCounts(counts, reached_.data(), bands, countBands_, carried, first, last);  // no thread to be had
            }
        }
        sumCounts(counts, reached_.data(), bands, countBands_, carried, 0, pixels / parts);
        for (std::thread& helper : helpers) helper.join();
        gl.glUnmapBufferARB(GL_SHADER_STORAGE_BUFFER);
        gl.glBindBufferARB(GL_SHADER_STORAGE_BUFFER, 0);
    }
    target_.unbind();
}

void ParityVoxelizer::gatherWord(int word, int nx, int ny) {
    plane_.resize(static_cast<std::size_t>(nx) * ny);
    // Stack row j runs down from +y (window row ny-1-j), column k down from
    // +x (window column nx-1-k): the depth-buffer mode's orientation.
    for (int j = 0; j < ny; ++j) {
        const std::uint32_t* line = masks_.data() + static_cast<std::size_t>(ny - 1 - j) * nx * 4 + word;
        std::uint32_t* out = plane_.data() + static_cast<std::size_t>(j) * nx;
        for (int k = 0; k < nx; ++k) out[k] = line[4 * (nx - 1 - k)];
    }
}

void ParityVoxelizer::extractSlice(int bit) {
    const std::size_t pixels = plane_.size();
    const std::uint32_t* in = plane_.data();
    std::uint32_t* out = slice_.data();
    // (255, 255, 255, 255) where the bit is set, (0, 0, 0, 0) elsewhere.
    for (std::size_t p = 0; p < pixels; ++p) out[p] = 0u - ((in[p] >> bit) & 1u);
}

WriteResult ParityVoxelizer::streamBand(const VoxelizeContext& context, int base, int count) {
    const int nx = context.frame.dims[0], ny = context.frame.dims[1];
    passMasks(context, 2, base, 0, ny);
    const auto* rgba = reinterpret_cast<const std::uint8_t*>(slice_.data());
    for (int b = 0; b < count; ++b) {
        // The pass's words one at a time, in stack order, so each slice is a
        // sequential sweep over nx x ny words.
        if (b % 32 == 0) gatherWord(b / 32, nx, ny);
        extractSlice(b % 32);
        WriteResult written = context.consumer.slice(base + b, rgba);
        if (!written.ok) return written;
    }
    return {};
}

void ParityVoxelizer::sideBits(const VoxelizeContext& context, int axis, int base, int count,
                               std::vector<std::uint32_t>& bits) {
    const Pass pass = passOf(context, axis);
    const int n = pass.depth;
    const int words = (n + 31) / 32;
    bits.assign(static_cast<std::size_t>(pass.width) * count * words, 0);
    for (int first = 0; first < n; first += kSlicesPerPass) {
        passMasks(context, axis, first, base, count);
        const int passWords = std::min(4, words - first / 32);
        for (std::size_t pixel = 0; pixel < static_cast<std::size_t>(pass.width) * count; ++pixel)
            std::copy_n(&masks_[4 * pixel], passWords, &bits[pixel * words + first / 32]);
    }
}

void ParityVoxelizer::transposeSideBits(int nx, int ny, int b) {
    const int wordsX = (nx + 31) / 32, wordsY = (ny + 31) / 32;
    yRows_.resize(static_cast<std::size_t>(ny) * wordsX);
    std::uint32_t block[32];
    for (int xb = 0; xb < wordsX; ++xb) {
        for (int yb = 0; yb < wordsY; ++yb) {
            for (int i = 0; i < 32; ++i) {
                const int x = 32 * xb + i;
                block[i] = x < nx ? yBits_[(static_cast<std::size_t>(b) * nx + x) * wordsY + yb] : 0u;
            }
            transpose32(block);
            for (int t = 0; t < 32 && 32 * yb + t < ny; ++t)
                yRows_[static_cast<std::size_t>(32 * yb + t) * wordsX + xb] = block[t];
        }
    }
}

WriteResult ParityVoxelizer::streamVotedBand(const VoxelizeContext& context, int base, int count) {
    const int nx = context.frame.dims[0], ny = context.frame.dims[1];
    const int words = (nx + 31) / 32;
    sideBits(context, 0, base, count, xBits_);  // window (y, z - base), bits along x
    sideBits(context, 1, base, count, yBits_);  // window (x, z - base), bits along y
    passMasks(context, 2, base, 0, ny);
    const auto* rgba = reinterpret_cast<const std::uint8_t*>(slice_.data());
    std::vector<std::uint32_t> zRow(words);
    for (int b = 0; b < count; ++b) {
        if (b % 32 == 0) gatherWord(b / 32, nx, ny);
        const int bit = b % 32;
        // Every ray's verdicts for one row of voxels packed along +x, so
        // "two of three" is (z & x) | (z & y) | (x & y) a word at a time.
        transposeSideBits(nx, ny, b);
        for (int j = 0; j < ny; ++j) {
            const int y = ny - 1 - j;
            const std::uint32_t* z = plane_.data() + static_cast<std::size_t>(j) * nx;
            // Column k holds x = nx-1-k: read the row backwards, 32 x at a time.
            for (int w = 0; w < words; ++w) {
                std::uint32_t packed = 0;
                const int lanes = std::min(32, nx - 32 * w);
                const std::uint32_t* from = z + (nx - 1 - 32 * w);
                for (int t = 0; t < lanes; ++t) packed |= ((from[-t] >> bit) & 1u) << t;
                zRow[w] = packed;
            }
            const std::uint32_t* xRow = &xBits_[(static_cast<std::size_t>(b) * ny + y) * words];
            const std::uint32_t* yRow = &yRows_[static_cast<std::size_t>(y) * words];
            std::uint32_t* out = slice_.data() + static_cast<std::size_t>(j) * nx;
            for (int w = 0; w < words; ++w) {
                const std::uint32_t two = (zRow[w] & xRow[w]) | (zRow[w] & yRow[w]) | (xRow[w] & yRow[w]);
                const int lanes = std::min(32, nx - 32 * w);
                std::uint32_t* to = out + (nx - 1 - 32 * w);
                for (int t = 0; t < lanes; ++t) to[-t] = 0u - ((two >> t) & 1u);
            }
        }
        WriteResult written = context.consumer.slice(base + b, rgba);
        if (!written.ok) return written;
    }
    return {};
}

WriteResult ParityVoxelizer::voxelizeParity(const VoxelizeContext& context, int votes, InsideRule rule) {
    const int nx = context.frame.dims[0], ny = context.frame.dims[1], n = context.frame.dims[2];
    rule_ = rule;
    countError_.clear();
    for (CountState& state : counted_) {
        // Nothing counted for this run yet.
        state.rowFirst = -1;
        state.passFirst = -1;
        state.next = 0;
    }
    {
        ProgressStep step(context.progress, "Checking Edges: (Step 1 of 2)", 1);
        const long open = countOpenEdges(context.mesh.positions, context.faces);
        if (open > 0)
            context.warnings.push_back(warningAbout(
                context.info.sourcePath,
                std::to_string(open) + " boundary edges: the mesh is not closed; the parity solid may leak"));
        const char* why = votes == 1 || votes == 3 ? "as asked" : open > 0 ? "the mesh is not closed" : "the mesh is closed";
        if (votes != 1 && votes != 3) votes = open > 0 ? 3 : 1;
        context.log << "Parity votes: " << votes << (votes == 3 ? " (rays along x, y and z; " : " (rays along z; ")
                    << why << ")" << std::endl;
    }
    // The z pass's picture is nx x ny; the x pass's ny x nz, the y pass's nx x nz.
    const int width = votes == 3 ? std::max(nx, ny) : nx, height = votes == 3 ? std::max(ny, n) : ny;
    if (const std::string why = prepareGL(context.loader, width, height); !why.empty()) return runFailure(why);
    if (rule == InsideRule::NonZero) {
        if (const std::string why = prepareCountGL(context.loader, width, height, std::max({nx, ny, n})); !why.empty())
            return runFailure(why);
    }

    ProgressStep step(context.progress, "Parity Slicing: (Step 2 of 2)", n);
    WriteResult begun = context.consumer.begin(context.info);
    if (!begun.ok) return begun;
    slice_.resize(static_cast<std::size_t>(nx) * ny);
    for (int base = 0; base < n; base += kSlicesPerPass) {
        step.setValue(base);
        const int count = std::min(kSlicesPerPass, n - base);
        WriteResult band = votes == 3 ? streamVotedBand(context, base, count) : streamBand(context, base, count);
        if (!band.ok) return band;
        if (!countError_.empty()) return runFailure(countError_);
    }
    return context.consumer.end();
}

}  // namespace kubelmar
