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

// Renders a band of consecutive slabs of the clipping mode into the layers
// of one LayeredTarget (a layer per slab): the layers are cleared together,
// each slab is drawn with its own clip planes into its layer, and the
// pictures are read back after the last, so that the GL renders the whole
// band while the slabs are being sent (one framebuffer, no read between
// slabs).
//
// Each layer's picture is the one the slab gives drawn on its own with the
// fixed-function pipeline, bit for bit. The vertex shader computes the
// position with ftransform() (the fixed-function transform), leaves
// fragments to the fixed-function stage, and only adds gl_Layer and a clip
// vertex. The GL clips against user planes in clip space when no vertex
// shader is bound (the eye-space planes times the inverse projection) and in
// eye space against the clip vertex when one is; the shader's clip vertex is
// the clip-space position times that inverse projection's diagonal. The
// frame view's projection scales by powers of two, so every product
// position x plane coefficient, and every distance the GL works out from
// them (at the vertices and at the points clipping makes), comes out the
// same in both.
class SlabBand {
public:
    // The most slabs in one band: about 128 MB of colour and depth (8 bytes
    // a pixel), at most 8. More layers measured slower on llvmpipe at 512
    // and 1024 (the arrays are zeroed when made, and a longer band keeps the
    // reads waiting longer); 2048 takes 4, 4096 one.
    static int layersFor(int width, int height);

    // The argument above rests on how Mesa's software rasterizer clips;
    // other GLs have not been compared (bench/clip_compare.cpp does that)
    // and draw slab by slab unless `anyGL` is set. Context current.
    static bool provenOnThisGL();

    // Builds the shader and the target for N = `size`; context current.
    // False (with the reason) when the GL can't, or is not one where bands
    // are proven and `anyGL` is not set: the caller draws slab by slab.
    bool prepare(GL_Ext_Loader& loader, int width, int height, const MeshDrawer& drawer, bool anyGL, std::string* why);
    int layers() const { return target_.layers(); }
    void release();
    void abandon();

    // Starts a band of `count` slabs: clears layer j within covers[j]'s
    // parts (window pixels; nothing when empty), binds the target and sets the pass's view
    // for slab.axis. False when the view's projection is not one whose
    // inverse is exact (nothing is then bound): draw those slabs one by one.
    bool begin(const SlabState& slab, int count, const SlabFaces::Cover* covers);
    // Draws the slab as `slab` is placed into layer j with `indices` (3 per
    // face, face order).
    void drawSlab(const VoxelizeContext& context, const SlabState& slab, int j, const std::uint32_t* indices,
                  std::size_t indexCount);
    // Ends the band: clip planes, scissor test and program off, the target
    // unbound. Lighting stays off.
    void end();
    // Reads a rectangle of layer j into width x height x 4 bytes at `rgba`
    // (see LayeredTarget::readLayer).
    void readLayer(int j, const SlabFaces::Rect& rect, std::uint8_t* rgba) {
        target_.readLayer(j, rect.x, rect.y, rect.width, rect.height, rgba);
    }

private:
    LayeredTarget target_;
    ShaderProgram program_;
    GL_Ext_Loader* loader_ = nullptr;
    bool textured_ = false;  // the program passes texture coordinates
    GLint layerAt_ = -1, toEyeAt_ = -1;
};

}  // namespace kubelmar
