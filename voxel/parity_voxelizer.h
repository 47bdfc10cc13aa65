#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gl/integer_render_target.h"
#include "gl/shader_program.h"
#include "voxel/voxelize_context.h"

namespace kubelmar {

// The "Parity Based" mode: a voxel is filled when its centre is inside the
// mesh by the parity rule (a ray from it crosses the surface an odd number
// of times), so enclosed cavities stay empty whichever way their faces wind.
//
// The mesh is rendered looking along z into an N x N RGBA32UI target with
// the XOR logic op. Pixel centres sit on voxel centres (x, y); every
// fragment at depth z writes a 128-bit mask with bit b set for each slice
// base + b whose centre lies beyond z, so afterwards bit b of a pixel is the
// parity of the crossings below that slice's centre: inside or not. One pass
// covers 128 slices; the stack comes out in the depth-buffer mode's
// orientation and occupancy encoding, slices streamed after each pass.
//
// On-surface centres, decided the same way on every axis: along z a face
// counts for the slices whose centres lie strictly beyond it (so a centre
// exactly on a face pointing +z is inside, on one pointing -z outside);
// across x and y GL's rasterisation rule decides, which on a closed mesh
// counts a centre on a shared edge for exactly one of its faces.
class ParityVoxelizer {
public:
    // Slices per pass: the bits of one RGBA32UI pixel.
    static constexpr int kSlicesPerPass = 128;

    // The whole run: checks the GL, warns in the log about open edges,
    // renders ceil(N / 128) passes and streams every slice to the consumer.
    // Renders into a target of its own, rebinds the framebuffer bound
    // before and leaves the GL state (enables, logic op, viewport, current
    // program) as it found it. Context current.
    WriteResult voxelizeParity(const VoxelizeContext& context);

    // Renders pass `pass` (slices 128 pass .. 128 pass + 127) into the bound
    // target; the program must be built.
    void renderPass(const VoxelizeContext& context, int pass);

    void releaseGL();
    void abandonGL();

private:
    // Empty when the GL has what the mode needs (programs built, target
    // ready), else the one-line reason.
    std::string prepareGL(GL_Ext_Loader& loader, int n);
    // Word `word` (slices 32 word .. 32 word + 31 of the pass) of every
    // pixel of masks_ into plane_, in stack order: row j, column k at j N + k.
    void gatherWord(int word);
    // Bit `bit` of plane_ as occupancy pixels into slice_.
    void extractSlice(int bit);

    ShaderProgram program_;
    GLint firstSliceUniform_ = -1;
    GLint sliceScaleUniform_ = -1;
    IntegerRenderTarget target_;
    std::vector<std::uint32_t> masks_;  // the last pass read back, 4 words a pixel, bottom row first
    std::vector<std::uint32_t> plane_;  // one word of every pixel, stack order
    std::vector<std::uint32_t> slice_;  // one output slice, RGBA bytes in memory order
};

// Major and minor version of a GL_VERSION or GL_SHADING_LANGUAGE_VERSION
// string ("4.5 (Compatibility Profile) Mesa 22.3.6" gives 4, 5); 0, 0 when
// it doesn't start with one.
std::pair<int, int> glVersionNumber(const char* text);

}  // namespace kubelmar
