#pragma once

#include <atomic>
#include <memory>
#include <sstream>
#include <string>

#include "array_volume.h"
#include "engine/runner.h"
#include "gl/egl_context.h"
#include "mesh/mesh.h"

namespace kubelmar {

// What one voxelization is asked for: the command line's settings, and how
// the arrays are laid out.
struct ArrayRequest {
    RunSettings settings;
    bool crop = false;    // the arrays cover the mesh's box only (--crop)
    bool packed = false;  // occupancy as packed bits (VolumeArrays)
};

// One voxelization's outcome: the runner's report (status, N, filled voxels,
// warnings, the error) and, when done, the arrays.
struct ArrayOutcome {
    RunReport report;
    std::shared_ptr<VolumeArrays> volume;
};

// The Python module's voxelizer, free of Python: one headless GL context and
// one engine, reused for any number of meshes. The context is current only
// while a call runs, so any thread may make the next call; two calls at once
// are refused (busy()), never run together.
class ArrayVoxelizer {
public:
    // Null, with the reason in `error`, when no GL context can be made or a
    // required extension is missing.
    static std::unique_ptr<ArrayVoxelizer> create(std::string* error);
    ~ArrayVoxelizer();
    ArrayVoxelizer(const ArrayVoxelizer&) = delete;
    ArrayVoxelizer& operator=(const ArrayVoxelizer&) = delete;

    // Claims the voxelizer for the calling thread; false when another call
    // holds it. Every successful claim is followed by release().
    bool claim();
    void release();

    // Loads the file (every format the loader reads) or takes the mesh and
    // voxelizes it into arrays; the GL context is current only inside.
    // Call between claim() and release(). No file is written.
    ArrayOutcome voxelizeFile(const std::string& path, const ArrayRequest& request);
    ArrayOutcome voxelizeMesh(Mesh mesh, const std::string& name, const ArrayRequest& request);

    // Largest N this GL renders; its renderer and version.
    int maxSize() const { return engine_.maxVoxelSize(); }
    const std::string& renderer() const { return renderer_; }
    // The GL objects alive in the context (textures, buffers, framebuffers,
    // renderbuffers, shaders and programs named 1..4096): for leak checks.
    // Call between claim() and release().
    int liveGLObjects();

private:
    ArrayVoxelizer() = default;
    ArrayOutcome voxelizeLoadedMesh(const ArrayRequest& request, RunReport report);

    std::unique_ptr<HeadlessGLContext> context_;
    Engine engine_;
    std::ostringstream log_;  // the engine's console lines: kept from piling up, not shown
    std::string renderer_;
    std::atomic<bool> busy_{false};
};

}  // namespace kubelmar
