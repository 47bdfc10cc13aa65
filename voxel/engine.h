#pragma once

#include <array>
#include <ostream>
#include <string>

#include "gl/gl_ext_loader.h"
#include "gl/gl_framebuffer_object.h"
#include "gl/mesh_drawer.h"
#include "gl/render_target.h"
#include "math/arcball.h"
#include "mesh/mesh.h"
#include "mesh/mesh_loader.h"
#include "voxel/depth_build.h"
#include "voxel/grid_fit.h"
#include "voxel/progress.h"
#include "voxel/slice_consumer.h"
#include "voxel/slice_writer.h"
#include "voxel/volume.h"

namespace kubelmar {

constexpr int kTextureSize = 1024;  // the depth views' render target, texels

// What a voxelization wrote: ok, or the first "ERROR: " line of a failed run.
using VoxelizeResult = WriteResult;

// Everything behind the view: the mesh, the view rotation, the GL support,
// the voxel volume, the settings and every voxelization operation. It never
// creates a GL context: GL work runs in whatever context is current, which
// must be the one handed to initializeGL. It renders into framebuffer objects
// of its own and rebinds whatever framebuffer was bound before.
//
// Frames: the mesh is prepared into the cube -1024..1024 (mesh units); all
// views are orthographic onto that cube; pictures are N x N pixels.
class Engine {
public:
    Engine();
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // GL state, a fresh arcball for a width x height view, the extensions
    // and the 1024 x 1024 depth-view target. False when a required extension
    // is missing (its message lines are already printed).
    bool initializeGL(const GLProcResolver& resolve, int width, int height);
    // Deletes every GL object; the owner calls it with the context current.
    void releaseGL();
    bool glReady() const { return glReady_; }
    void resizeGL(int width, int height);
    // Draws the mesh with the arcball rotation into the bound framebuffer.
    void paintGL(int width, int height);

    // Replaces the mesh by the OBJ file's content, prepared. A file that
    // can't be read or holds no usable vertex fails (error names the file)
    // and the previous mesh stays.
    MeshLoadResult loadMesh(const std::string& path);
    bool checkMeshLoaded() const { return mesh.vertexCount != 0; }

    void setMode(int newMode) { mode = newMode; }
    // Makes n the resolution and replaces the volume by a zeroed one. When
    // the memory can't be had, the size and the old volume stay and false
    // comes back with a message.
    bool setVoxelSize(int n, Progress& progress, std::string* error);

    // Runs the current mode on the loaded mesh and writes into `directory`.
    VoxelizeResult voxelize(const std::string& directory, Progress& progress);

    // Clipping mode: three slicing passes and the save step.
    VoxelizeResult voxelizeClipping(Progress& progress);
    // Renders the current slab of `axis` into the N x N target (bound).
    void renderClipSlab(int axis);

    // Depth-buffer mode.
    void setAxisView(float a, float b, float c);
    void renderDepthView(int view);
    void showDepthTexture();
    VoxelizeResult saveDepthBuffers(Progress& progress);
    VoxelizeResult buildVoxelsFromDepthBuffers(Progress& progress);

    // State, named as the view names it.
    Mesh mesh;
    ArcBall arcBall;
    GL_Ext_Loader extensionLoader;
    GL_FrameBufferObject frameBuffer;
    GLuint colorTexture = 0;
    GLuint depthTexture = 0;
    VoxelVolume voxels;
    int voxelSize = 0;
    int mode = kModeClipping;
    std::string outputDirectory;
    float meshExtent = 0.0f;
    SlabState slab;
    // The six depth pictures of the last depth-buffer run, in view order.
    std::array<GreyImage, 6> depthImages;
    // Where the depth pictures are also written when the folder exists.
    std::string depthImageDirectory = "images";
    std::ostream* log = nullptr;  // console lines; std::cout when null
    // Each clipping slab draws only the faces that can reach it (same
    // picture, far less work); off, every slab draws the whole mesh.
    bool cullFacesPerSlab = true;

private:
    std::ostream& out() const;
    bool ensureTarget();
    void ensureMeshUploaded();
    void renderClipSlab(int axis, const std::uint32_t* indices, std::size_t count);
    void readGrey(GreyImage& grey, std::vector<std::uint8_t>* rgbaTopFirst);
    void storeSlab(int axis, int k, const std::vector<std::uint8_t>& rgba);

    RenderTarget viewTarget_;
    MeshDrawer drawer_;
    bool meshDirty_ = true;
    bool glReady_ = false;
    bool depthClampSupported_ = false;
    std::vector<std::uint8_t> pixels_;
};

// The six depth views: angles about x, y, z in degrees, and file names.
struct DepthViewInfo {
    float a, b, c;
    const char* fileName;
};
extern const DepthViewInfo kDepthViews[6];

}  // namespace kubelmar
