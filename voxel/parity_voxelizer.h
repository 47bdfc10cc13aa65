#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "gl/render_target.h"
#include "gl/shader_program.h"
#include "volume/inside_rule.h"
#include "voxel/voxelize_context.h"

namespace kubelmar {

// The "Parity Based" mode: a voxel is filled when its centre is inside the
// mesh by the parity rule (a ray from it crosses the surface an odd number
// of times), so enclosed cavities stay empty whichever way their faces wind.
//
// The mesh is rendered looking along one axis into an RGBA32UI target (nx x ny
// along z)
// with the XOR logic op. Pixel centres sit on voxel centres; every fragment
// at depth d writes a 128-bit mask with bit b set for each slice base + b
// whose centre lies beyond d, so afterwards bit b of a pixel is the parity
// of the crossings below that slice's centre: inside or not. One pass covers
// 128 slices; the stack comes out in the depth-buffer mode's orientation and
// occupancy encoding, streamed band by band (128 slices along z at a time),
// so memory grows with a slice, not the volume.
//
// With 3 votes the parity is also taken along x and y, for the band's
// z rows only (scissored), and a voxel is kept when two of the three rays
// agree; a hole in an open mesh then leaks only where two rays meet it.
//
// On-surface centres, decided the same way on every axis: along the ray a
// face counts for the slices whose centres lie strictly beyond it (a centre
// exactly on a face turned towards +axis is inside, on one turned towards
// -axis outside); across the ray GL's rasterisation rule decides, which on a
// closed mesh counts a centre on a shared edge for exactly one of its faces.
//
// The nonzero rule runs the same views with signed counts in place of XOR:
// every fragment adds +1 (entering: the face turned towards -axis) or -1
// into a shader storage buffer, at the first of the count pass's slices
// whose centre lies beyond it; fragments that an earlier count pass along
// the axis counted, or beyond its slices, are discarded. A count pass
// covers up to four passes' worth of slices (as memory allows), so each
// fragment is shaded fewer times; the bands after the first wait for the
// calls that ask for them. Summed along the ray on the CPU (on several
// threads), carried from pass to pass, a slice's count is its centre's
// winding number, and its bit is set when that is not 0. The same fragments decide as in the parity rule,
// so on a closed mesh whose shells neither overlap nor turn inside out the
// two rules agree voxel for voxel. Needs OpenGL 4.3 (shader storage
// buffers, atomic counters in them).
class ParityVoxelizer {
public:
    // Slices per pass: the bits of one RGBA32UI pixel.
    static constexpr int kSlicesPerPass = 128;
    // Passes' worth of slices one count pass of the nonzero rule may cover.
    static constexpr int kMaxCountBands = 4;

    // The whole run: checks the GL, warns in the log about open edges, picks
    // the votes (1 or 3; 0: 3 when there are open edges, else 1, said in the
    // log) and streams every slice to the consumer. Renders into a target
    // of its own, rebinds the framebuffer bound before and leaves the GL
    // state (enables, logic op, viewport, scissor, current program) as it
    // found it. Context current.
    WriteResult voxelizeParity(const VoxelizeContext& context, int votes, InsideRule rule = InsideRule::Parity);

    // Renders the slicemap looking along mesh axis `axis` (0 x, 1 y, 2 z)
    // for slices firstSlice .. firstSlice + 127 of that axis into the bound
    // target, window rows rowFirst .. rowFirst + rowCount - 1 only. Window
    // (column, row) is voxel (y, z) along x, (x, z) along y, (x, y) along z,
    // indices counted from the negative end. The program must be built.
    void renderPass(const VoxelizeContext& context, int axis, int firstSlice, int rowFirst, int rowCount);
    // The nonzero rule's pass: the same view and slices, window rows
    // rowFirst .. rowFirst + rowCount - 1 (at most countRows()), each
    // fragment's signed crossing added into the count buffer (layout in
    // the .cpp). The count program and buffer must be ready.
    void renderCountPass(const VoxelizeContext& context, int axis, int firstSlice, int rowFirst, int rowCount);

    void releaseGL();
    void abandonGL();

private:
    // Empty when the GL has what the mode needs (programs built, target
    // ready for pictures up to width x height), else the one-line reason.
    std::string prepareGL(GL_Ext_Loader& loader, int width, int height);
    // The same for the nonzero rule's program and count buffer (rows of
    // `width` pixels, at most `height` of them, passes at most `depth` slices
    // deep).
    std::string prepareCountGL(GL_Ext_Loader& loader, int width, int height, int depth);
    // A pass's picture (window width x height) and the slices along its ray.
    struct Pass {
        int width, height, depth;
    };
    static Pass passOf(const VoxelizeContext& context, int axis);
    // One pass's inside bits for window rows rowFirst .. rowFirst + rowCount
    // - 1 into masks_ (4 words a pixel, row rowFirst first), by the rule of
    // the run: the XOR target read back, or the counts summed along the ray.
    void passMasks(const VoxelizeContext& context, int axis, int firstSlice, int rowFirst, int rowCount);
    // One count pass: countBands_ bands of slices from passFirst along `axis`, for
    // window rows rowFirst .. rowFirst + rowCount - 1, each band's inside
    // bits into counted_[axis].bands, carry_[axis] carried on.
    void countPass(const VoxelizeContext& context, int axis, int passFirst, int rowFirst, int rowCount);
    // Rows of the count buffer: as many as fit its size.
    int countRows() const { return countRows_; }
    // Slices base .. base + count - 1, one ray (z) a voxel.
    WriteResult streamBand(const VoxelizeContext& context, int base, int count);
    // The same with three rays a voxel, two needed.
    WriteResult streamVotedBand(const VoxelizeContext& context, int base, int count);
    // Every pass along `axis` (0 or 1) over z rows base .. base + count - 1,
    // packed into bits: n / 32 words (rounded up, n the voxels along the axis)
    // per (row, column), slice
    // bit s % 32 of word s / 32.
    void sideBits(const VoxelizeContext& context, int axis, int base, int count, std::vector<std::uint32_t>& bits);
    // Slice b's bits along y (yBits_) transposed into yRows_: for each y,
    // nx / 32 words (rounded up) packed along x.
    void transposeSideBits(int nx, int ny, int b);
    // Word `word` (slices 32 word .. 32 word + 31 of the pass) of every
    // pixel of masks_ (nx x ny) into plane_, in stack order: row j, column k
    // at j nx + k.
    void gatherWord(int word, int nx, int ny);
    // Bit `bit` of plane_ as occupancy pixels into slice_.
    void extractSlice(int bit);

    ShaderProgram program_;
    GLint firstSliceUniform_ = -1;
    GLint sliceScaleUniform_ = -1;
    GLint axisUniform_ = -1;
    RenderTarget target_;  // Integer format
    InsideRule rule_ = InsideRule::Parity;
    ShaderProgram countProgram_;
    GLint countUniforms_[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    GLuint countBuffer_ = 0;
    GL_Ext_Loader* countLoader_ = nullptr;  // that made countBuffer_
    int countRows_ = 0;  // window rows the count buffer holds
    int countBands_ = 1;  // bands of 128 slices a count pass covers
    int countSize_ = 0;  // row width it was made for
    int countHeight_ = 0, countDepth_ = 0;  // the window rows and slices it was sized by
    std::string countError_;  // why a count pass could not be read, once one could not
    // The count pass's marks: bit g of the first of 4 words a pixel says
    // that group g (32 slices) has counts.
    std::vector<std::uint32_t> reached_;
    std::vector<int> carry_[3];  // per axis: each pixel's winding number below counted_[axis].next
    // Per axis: the rows being counted, where the next count pass starts,
    // and the bands of the last one (passFirst its first slice, -1 none), 4
    // words a pixel each, with those already handed out to masks_.
    struct CountState {
        int rowFirst = -1;
        int rowCount = 0;
        int next = 0;
        int passFirst = -1;
        std::vector<std::uint32_t> bands[kMaxCountBands];
        bool handedOut[kMaxCountBands] = {};
    };
    CountState counted_[3];
    std::vector<std::uint32_t> masks_;  // the last pass read back, 4 words a pixel, bottom row first
    std::vector<std::uint32_t> xBits_, yBits_;  // a voted band's rays along x and y
    std::vector<std::uint32_t> yRows_;  // one slice's y bits transposed: packed along x per y
    std::vector<std::uint32_t> plane_;  // one word of every pixel, stack order
    std::vector<std::uint32_t> slice_;  // one output slice, RGBA bytes in memory order
};

// Major and minor version of a GL_VERSION or GL_SHADING_LANGUAGE_VERSION
// string ("4.5 (Compatibility Profile) Mesa 22.3.6" gives 4, 5); 0, 0 when
// it doesn't start with one.
std::pair<int, int> glVersionNumber(const char* text);

}  // namespace kubelmar
