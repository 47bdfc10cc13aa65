#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gl/layered_target.h"
#include "gl/shader_program.h"
#include "voxel/grid_fit.h"
#include "voxel/slab_faces.h"
#include "voxel/voxelize_context.h"

namespace kubelmar {

// Draws a band of consecutive slabs of the clipping mode in one pass: every
// face goes once through a geometry shader that copies it into the layer of
// each slab (one layer of a LayeredTarget per slab) with that slab's two
// clip distances. The picture of each layer is meant to be the one the slab
// gives drawn on its own between fixed-function clip planes, bit for bit:
//
// - the fixed-function planes are taken with glClipPlane under the pass's
//   model-view and read back with glGetClipPlane (the eye-space floats the
//   GL keeps), then carried to clip space through the inverse projection as
//   the GL does (an orthographic projection with power-of-two scales, so
//   that step is exact);
// - positions come from ftransform(), which matches the fixed-function
//   transform;
// - each clip distance is the plane's dot product with the clip-space
//   position in the order and with the roundings of the GL's own clipper
//   (four products, summed left to right, no fused multiply-add).
//
// The GL's vertex stage tests the same planes with fused multiply-adds to
// decide which triangles reach the clipper at all. Where the two roundings
// give a vertex different signs, or a vertex lies outside the view volume
// (clipped by the GL's own planes in one way of drawing and not the other),
// the layer is flagged and needsRedo() asks the caller to draw that slab on
// its own instead. Orthographic views with a viewport of N = a power of two
// pixels map clip space to the window exactly, fused or not; other N use
// the slab-by-slab way (see usable()).
class SlabBand {
public:
    // The most slabs in one band: the geometry shader's output, and a
    // memory bound (colour and depth, 8 bytes a pixel, about 256 MB).
    static int layersFor(int size);
    // Whether a band can stand in for single slabs at N = `size` with this
    // drawer: N a power of two, an untextured mesh (textures are drawn by
    // the fixed-function texture stage, which the band's shader doesn't
    // copy).
    static bool usable(int size, const MeshDrawer& drawer);

    // Builds the shader and the target for N = `size`; context current.
    // False (with the reason) when the GL can't: the caller draws slab by
    // slab.
    bool prepare(GL_Ext_Loader& loader, int size, std::string* why);
    bool ready(int size) const { return target_.size() == size && program_.built(); }
    int layers() const { return target_.layers(); }
    void release();
    void abandon();

    // Draws slabs first .. first + count - 1 of the slab's axis into layers
    // 0 .. count - 1 (leaves `slab` placed on the last); `indices` (3 per
    // face, face order) must hold every face any of them reaches. Layer j is
    // cleared and drawn within rects[j] only (window pixels; none when
    // empty). Leaves the target unbound, the program, clip planes and
    // scissor test off, lighting off.
    void draw(const VoxelizeContext& context, SlabState& slab, int first, int count,
              const SlabFaces::Rect* rects, const std::uint32_t* indices, std::size_t indexCount);
    // After draw: true when layer j's slab must be drawn on its own.
    bool needsRedo(int j) const { return redo_[static_cast<std::size_t>(j)] != 0; }
    // Reads a rectangle of layer j (see LayeredTarget::readLayer).
    void readLayer(int j, const SlabFaces::Rect& rect, std::vector<std::uint8_t>& rgba) {
        target_.readLayer(j, rect.x, rect.y, rect.width, rect.height, rgba);
    }

private:
    bool clipSpacePlanes(SlabState& slab, int first, int count);

    LayeredTarget target_;
    ShaderProgram program_;
    GL_Ext_Loader* loader_ = nullptr;
    GLuint redoBuffer_ = 0;  // one word per layer, set by the shader
    GLint layerCountAt_ = -1, layerOfAt_ = -1, planesAt_ = -1;
    std::vector<float> planes_;          // two clip-space planes per layer
    std::vector<std::uint32_t> redo_;    // per layer
};

}  // namespace kubelmar
