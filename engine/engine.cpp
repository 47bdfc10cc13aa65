#include "engine/engine.h"

#include <algorithm>
#include <new>
#include <optional>

#include "engine/framed_mesh.h"
#include "colour/print_stage.h"
#include "colour/solid_colouring.h"
#include "voxel/slab_faces.h"
#include "voxel/touched_surface.h"

namespace kubelmar {

namespace {

// Where console lines go when the front end wants none: a stream without a
// buffer drops everything.
std::ostream& nowhere() {
    static std::ostream stream(nullptr);
    return stream;
}

}  // namespace

Engine::~Engine() {
    // GL objects belong to a context the engine doesn't own: the owner calls
    // releaseGL() while it is current. Otherwise no context can be assumed
    // current here, so the names are dropped without a GL call.
    if (glReady_) {
        drawer_.abandon();
        clipVoxelizer_.abandonGL();
        depthVoxelizer_.abandonGL();
        parityVoxelizer_.abandonGL();
    }
}

std::ostream& Engine::log() const { return log_ ? *log_ : nowhere(); }

GLStartResult Engine::initializeGL(const GLProcResolver& resolve, int width, int height) {
    GLStartResult start;
    releaseGL();  // a second initialisation replaces the first one's objects
    glClearColor(0, 0, 0, 1);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glPolygonOffset(1.0f, 2.0f);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glEnable(GL_POLYGON_SMOOTH);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);

    view_.reset(width, height);

    extensionLoader_.out = &log();
    if (!extensionLoader_.load_GLextension(resolve) || !extensionLoader_.framebufferObjectSupported) {
        const std::string& missing = extensionLoader_.firstMissing();
        start.diagnostics.push_back(errorAbout(
            {}, missing.empty() ? "OpenGL lacks a required extension" : "Extension not supported: " + missing));
        return start;
    }

    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    depthClampSupported_ = extensions && (extensionListContains(extensions, "GL_ARB_depth_clamp") ||
                                          extensionListContains(extensions, "GL_NV_depth_clamp"));
    if (!depthClampSupported_) {
        start.diagnostics.push_back(warningAbout({}, "no depth clamping (GL_ARB_depth_clamp): in the depth-buffer "
                                                     "mode, faces on the faces of the fitted cube may be lost"));
    }

    // Every mode renders N x N pictures into textures and renderbuffers.
    GLint textureSize = 0, viewport[2] = {0, 0}, renderbufferSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &textureSize);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &renderbufferSize);
    glAxisLimit_ = std::min({static_cast<int>(textureSize), static_cast<int>(viewport[0]),
                             static_cast<int>(viewport[1]), static_cast<int>(renderbufferSize)});
    maxVoxelSize_ = std::min(glAxisLimit_, kMaxVoxelSize);
    glReady_ = true;
    meshDirty_ = true;
    start.ready = true;
    return start;
}

void Engine::releaseGL() {
    if (!glReady_) return;
    drawer_.release();
    clipVoxelizer_.releaseGL();
    depthVoxelizer_.releaseGL();
    parityVoxelizer_.releaseGL();
    glReady_ = false;
}

std::string Engine::checkVoxelSize(int n) const {
    if (n < 1 || n > kMaxVoxelSize)
        return "voxel size " + std::to_string(n) + " is outside 1.." + std::to_string(kMaxVoxelSize);
    if (glReady_ && n > maxVoxelSize_)
        return "voxel size " + std::to_string(n) + " is larger than this OpenGL can render (" +
               std::to_string(maxVoxelSize_) +
               ": the least of GL_MAX_TEXTURE_SIZE, GL_MAX_VIEWPORT_DIMS and GL_MAX_RENDERBUFFER_SIZE)";
    return {};
}

int Engine::maxGridAxis() const { return glReady_ ? std::min(glAxisLimit_, kMaxGridAxis) : kMaxGridAxis; }

GridMeshBox Engine::meshBox() const {
    GridMeshBox box;
    box.low = fileBoxLow_;
    box.high = fileBoxHigh_;
    box.extent = meshExtent_;
    return box;
}

GridLayoutResult Engine::gridLayout(const RunSettings& settings) const {
    return layoutGrid(settings, meshBox(), maxGridAxis());
}

void Engine::ensureMeshUploaded(ColourSource colour) {
    if (!meshDirty_ && drawer_.uploaded() && colour == uploadedColour_) return;
    uploadWarnings_.clear();
    for (const std::string& warning : drawer_.upload(extensionLoader_, mesh_, colour))
        uploadWarnings_.push_back(warningAbout(meshPath_, warning));
    uploadedColour_ = colour;
    faces_ = distinctFaces(drawer_.faceIndices());
    meshDirty_ = false;
}

void Engine::paintGL(int width, int height, ColourSource colour) {
    if (glReady_) ensureMeshUploaded(colour);
    view_.paint(glReady_ ? &drawer_ : nullptr, width, height);
}

MeshLoadResult Engine::loadMesh(const std::string& path, const LoadLimits& limits, const LoadProgress& progress) {
    // A file without a usable vertex gives no mesh: it must not replace the
    // one loaded before, so it is read into a scratch mesh first.
    Mesh loaded;
    MeshLoadResult result;
    try {
        result = loadPreparedMesh(path, loaded, ObjReaderChoice::Own, limits, progress);
    } catch (const std::bad_alloc&) {
        result = MeshLoadResult{};
        result.diagnostics.push_back(errorAbout(path, "out of memory reading the mesh"));
        return result;
    }
    adopt(std::move(loaded), path, result);
    return result;
}

MeshLoadResult Engine::setMesh(Mesh built, const std::string& name) {
    Mesh prepared;
    MeshLoadResult result;
    try {
        prepareMesh(built, name, prepared, result);
    } catch (const std::bad_alloc&) {
        result = MeshLoadResult{};
        result.diagnostics.push_back(errorAbout(name, "out of memory preparing the mesh"));
        return result;
    }
    adopt(std::move(prepared), name, result);
    return result;
}

void Engine::adopt(Mesh&& prepared, const std::string& name, MeshLoadResult& result) {
    if (result.ok && prepared.vertexCount == 0) {
        result.ok = false;
        result.diagnostics.push_back(errorAbout(name, "no usable vertex (no mesh in the file)"));
    }
    if (!result.ok) return;
    mesh_ = std::move(prepared);
    meshExtent_ = result.meshExtent;
    meshPath_ = name;
    fileBoxLow_ = result.fileBoxLow;
    fileBoxHigh_ = result.fileBoxHigh;
    meshDirty_ = true;
    topologyMeasured_ = false;
}

VolumeInfo Engine::volumeInfo(const RunSettings& settings) const {
    VolumeInfo info;
    info.mode = settings.mode;
    info.encoding = settings.mode == VoxelMode::Clipping ? SliceEncoding::Colour : SliceEncoding::Occupancy;
    info.sourcePath = meshPath_;
    GridLayoutResult grid = layoutGrid(settings, meshBox(), maxGridAxis());
    if (!grid.ok) {
        RunSettings cube = settings;
        cube.grid = GridSettings{};
        grid = layoutGrid(cube, meshBox(), std::max(maxGridAxis(), std::max(1, settings.size)));
    }
    describeGrid(grid.layout, settings, meshBox(), info);
    return info;
}

const MeshTopology& Engine::topology() {
    if (!topologyMeasured_) {
        std::vector<std::uint32_t> corners;
        corners.reserve(mesh_.faces.size() * 3);
        for (const Face& face : mesh_.faces)
            for (int c : face.index) corners.push_back(static_cast<std::uint32_t>(c));
        topology_ = measureTopology(mesh_.positions, corners);
        topologyMeasured_ = true;
    }
    return topology_;
}

RunSettings Engine::resolveSize(const RunSettings& settings, std::string* error) const {
    RunSettings resolved = settings;
    const GridLayoutResult grid = gridLayout(settings);
    if (!grid.ok && error) *error = meshPath_ + ": " + grid.error;
    if (grid.ok) resolved.size = std::max({grid.layout.dims[0], grid.layout.dims[1], grid.layout.dims[2]});
    return resolved;
}

VoxelizeResult Engine::voxelize(const RunSettings& requested, SliceConsumer& consumer, Progress& progress,
                                Diagnostics* warnings) {
    if (!checkMeshLoaded()) return runFailure("No OBJ file is loaded!!!");
    if (!glReady_) return runFailure("no OpenGL context for the voxelization");
    const RunSettings& settings = requested;
    if (!edgesChosen(settings.grid)) {
        if (const std::string why = checkVoxelSize(settings.size); !why.empty()) return runFailure(why);
    }
    const GridLayoutResult grid = gridLayout(settings);
    if (!grid.ok) return runFailure(grid.error);
    VolumeInfo info;
    info.mode = settings.mode;
    info.encoding = settings.mode == VoxelMode::Clipping ? SliceEncoding::Colour : SliceEncoding::Occupancy;
    info.sourcePath = meshPath_;
    describeGrid(grid.layout, settings, meshBox(), info);
    const FramePlacement placement = placeFrame(grid.layout, settings.mode, meshBox());
    FrameGrid frame;
    frame.dims = placement.dims;
    frame.cube = placement.identity;
    // The mode's own stack mapping, in the frame the mesh is placed in.
    const StackMapping native = nativeStackMapping(settings.mode);
    const std::array<SignedAxis, 3> frameAxes = {native.slice, native.row, native.column};
    VoxelizeResult result;
    Diagnostics runWarnings;
    try {
        ensureMeshUploaded(settings.colour);
        runWarnings = uploadWarnings_;
        // Measured on the prepared mesh, before it is placed.
        if (settings.mode == VoxelMode::Parity && settings.inside == InsideRule::NonZero) topology();
        const FramedMesh placed(mesh_, drawer_, placement);
        // Printing turns the slices into materials on the way out; a solid's
        // colour depth needs the surface's colours beside its slices.
        std::optional<PrintStage> printing;
        std::optional<SolidColouring> colouring;
        SliceConsumer* printed = &consumer;
        if (settings.print.active()) {
            printed = &printing.emplace(consumer, settings.print);
            if (settings.print.colourDepth && isSolidMode(settings.mode))
                printed = &colouring.emplace(*printing, colourDepthInVoxels(settings.print, info));
        }
        // The conservative surface (and the colours the colouring needs)
        // ride on the slices' way out, so each mode's own rule runs untouched.
        std::optional<TouchedSurface> touched;
        std::array<double, 3> unstretch = {1, 1, 1};
        for (int b = 0; b < 3 && !placement.identity; ++b) unstretch[b] = 1.0 / placement.stretch[b];
        if (settings.conservative || colouring)
            touched.emplace(*printed, mesh_, faces_, settings.colour, frame.dims, frameAxes, unstretch,
                            settings.conservative, colouring ? &*colouring : nullptr);
        SliceConsumer& out = touched ? static_cast<SliceConsumer&>(*touched) : *printed;
        const VoxelizeContext context{extensionLoader_, mesh_, drawer_, faces_, info, frame, out, progress, log(),
                                      runWarnings};
        if (settings.mode == VoxelMode::Clipping) {
            result = clipVoxelizer_.voxelizeClipping(context);
        } else if (settings.mode == VoxelMode::Parity) {
            // Under the nonzero rule a flipped face counts its crossings the
            // wrong way round; parity doesn't care.
            if (const MeshTopology& t = topology(); settings.inside == InsideRule::NonZero && t.flippedFaces > 0)
                runWarnings.push_back(warningAbout(
                    meshPath_, std::to_string(t.flippedFaces) + " faces point against their neighbours (" +
                                   std::to_string(t.inconsistentEdges) +
                                   " edges used twice in one direction); --inside nonzero may fill cavities "
                                   "or open holes there"));
            result = parityVoxelizer_.voxelizeParity(context, settings.parityVotes, settings.inside);
        } else {
            DepthVoxelizer::Options options;
            options.fullPrecision = settings.depthPrecision == DepthPrecision::Full;
            options.pictureDirectory = settings.depthPictureDirectory;
            options.depthClamp = depthClampSupported_;
            const WriteResult pictures = depthVoxelizer_.saveDepthBuffers(context, options);
            result = pictures.ok ? depthVoxelizer_.buildVoxelsFromDepthBuffers(context) : pictures;
            if (pictures.ok) result.filesWritten += pictures.filesWritten;
        }
    } catch (const std::bad_alloc&) {
        result = writeFailure(meshPath_, "out of memory voxelizing a grid of " + std::to_string(info.dims[0]) + " x " +
                                             std::to_string(info.dims[1]) + " x " + std::to_string(info.dims[2]) +
                                             " voxels");
    }
    if (!result.ok) consumer.abort();
    if (warnings) warnings->insert(warnings->end(), runWarnings.begin(), runWarnings.end());
    return result;
}

}  // namespace kubelmar
