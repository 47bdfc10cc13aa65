#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "engine/grid_layout.h"
#include "engine/mesh_view.h"
#include "engine/run_settings.h"
#include "gl/gl_ext_loader.h"
#include "gl/mesh_drawer.h"
#include "mesh/mesh.h"
#include "mesh/mesh_loader.h"
#include "mesh/mesh_topology.h"
#include "voxel/clip_voxelizer.h"
#include "voxel/depth_voxelizer.h"
#include "voxel/parity_voxelizer.h"
#include "volume/progress.h"
#include "volume/slice_consumer.h"

namespace kubelmar {

// What a voxelization wrote: ok, or the failure naming the file or the reason.
using VoxelizeResult = WriteResult;

// How starting GL went: ready, or why not (a missing extension, named); and
// warnings about what this GL can't do.
struct GLStartResult {
    bool ready = false;
    Diagnostics diagnostics;
    explicit operator bool() const { return ready; }
};

// The mesh, its upload to GL, the interactive view and the voxelization
// modes, on a GL context it is handed and never creates: GL work runs in
// whatever context is current, which must be the one initializeGL ran in.
// Modes render into framebuffer objects of their own and rebind whatever
// framebuffer was bound before. Nothing here prints: console lines go to
// the log stream the front end hands in (nowhere when none), failures come
// back as values.
//
// Frames: the mesh is prepared into the cube -1024..1024 (mesh units); all
// views are orthographic onto that cube. A run on another grid places the
// mesh so that its grid fills that cube (engine/framed_mesh.h); pictures
// are as many pixels as the grid has voxels across them.
class Engine {
public:
    Engine() = default;
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Where console lines go (the extension report, the grid lines); null:
    // nowhere. The stream must outlive the engine's use of it.
    void setLog(std::ostream* log) { log_ = log; }
    std::ostream& log() const;

    // GL state, a fresh view rotation for a width x height view, the
    // extensions and the GL's size limits. Not ready when a required
    // extension is missing: the error names it (the extension report's
    // console lines are in the log).
    GLStartResult initializeGL(const GLProcResolver& resolve, int width, int height);
    // Deletes every GL object; the owner calls it with the context current.
    void releaseGL();
    bool glReady() const { return glReady_; }
    void resizeGL(int width, int height) { view_.resize(width, height); }
    // Draws the mesh with the view rotation into the bound framebuffer, in
    // the colours `colour` picks.
    void paintGL(int width, int height, ColourSource colour = ColourSource::Auto);
    MeshView& view() { return view_; }
    const MeshView& view() const { return view_; }
    // The entry points looked up by initializeGL (for GL objects the front
    // ends or tests make beside the engine's).
    GL_Ext_Loader& extensionLoader() { return extensionLoader_; }

    // Replaces the mesh by the file's content, prepared. A file that can't be
    // read or holds no usable vertex fails (error names the file) and the
    // previous mesh stays. `progress` hears how many of the file's bytes
    // are done (mesh/load_progress.h).
    MeshLoadResult loadMesh(const std::string& path, const LoadLimits& limits = {}, const LoadProgress& progress = {});
    // Replaces the mesh by one built in memory (positions in the caller's
    // units, faces resolved, colours as Mesh::build stores them), prepared
    // as a file's would be; `name` stands for the file in messages and in
    // the volume's sourcePath. Fails like loadMesh (no vertex, no extent)
    // and the previous mesh then stays.
    MeshLoadResult setMesh(Mesh built, const std::string& name);
    bool checkMeshLoaded() const { return mesh_.vertexCount != 0; }
    const Mesh& mesh() const { return mesh_; }
    float meshExtent() const { return meshExtent_; }
    const std::string& meshPath() const { return meshPath_; }
    // The loaded mesh's edges and shells, measured on first use after a load.
    const MeshTopology& topology();

    // The largest N this GL can render (its texture, viewport and
    // renderbuffer limits, at most kMaxVoxelSize); 0 before initializeGL.
    int maxVoxelSize() const { return maxVoxelSize_; }
    // Empty when N can be voxelized here, else the reason naming the limit.
    std::string checkVoxelSize(int n) const;
    // The most voxels one axis of a grid may have here: kMaxGridAxis, or
    // less where this GL renders less (before initializeGL: kMaxGridAxis).
    int maxGridAxis() const;

    // The grid a run with these settings has on the loaded mesh, or why it
    // can't be had (one line naming the axis and the limit, not the mesh).
    GridLayoutResult gridLayout(const RunSettings& settings) const;
    // The volume a run with these settings describes to its consumers (on
    // a grid that can't be had: the cube's description).
    VolumeInfo volumeInfo(const RunSettings& settings) const;
    // The settings with N the grid's largest dimension for the loaded mesh;
    // an error line (naming the mesh) when the grid can't be had.
    RunSettings resolveSize(const RunSettings& settings, std::string* error) const;

    // Voxelizes the loaded mesh with `settings` and streams the slices to
    // `consumer` (begin, slices in order, end; abort on failure). The depth
    // mode's pictures are counted in filesWritten. Warnings (an open mesh
    // in the parity mode, a texture that can't be uploaded) are added to
    // `warnings` when given.
    VoxelizeResult voxelize(const RunSettings& settings, SliceConsumer& consumer, Progress& progress,
                            Diagnostics* warnings = nullptr);

    // The clipping mode's drawer: whether it draws slabs in bands, and what
    // its last run did (for tests and benchmarks that set both ways side
    // by side).
    ClipVoxelizer& clipVoxelizer() { return clipVoxelizer_; }

private:

    void ensureMeshUploaded(ColourSource colour);
    GridMeshBox meshBox() const;
    // Takes a prepared mesh when the load went well and holds a vertex;
    // otherwise adds why not to `result` and keeps the mesh it had.
    void adopt(Mesh&& prepared, const std::string& name, MeshLoadResult& result);

    std::ostream* log_ = nullptr;
    GL_Ext_Loader extensionLoader_;
    MeshView view_;
    Mesh mesh_;
    float meshExtent_ = 0.0f;
    std::string meshPath_;
    MeshTopology topology_;
    bool topologyMeasured_ = false;
    std::array<double, 3> fileBoxLow_ = {0, 0, 0}, fileBoxHigh_ = {0, 0, 0};
    MeshDrawer drawer_;
    std::vector<std::uint32_t> faces_;  // the faces worth drawing
    bool meshDirty_ = true;
    ColourSource uploadedColour_ = ColourSource::Auto;
    ClipVoxelizer clipVoxelizer_;
    DepthVoxelizer depthVoxelizer_;
    ParityVoxelizer parityVoxelizer_;
    bool glReady_ = false;
    bool depthClampSupported_ = false;
    Diagnostics uploadWarnings_;  // of the mesh as uploaded: reported with every run
    int maxVoxelSize_ = 0;
    int glAxisLimit_ = 0;  // the least of the GL's texture, viewport and renderbuffer sizes
};

}  // namespace kubelmar
