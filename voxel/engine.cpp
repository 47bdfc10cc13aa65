#include "voxel/engine.h"

#include <cstring>
#include <iostream>

namespace kubelmar {

Engine::Engine() = default;

Engine::~Engine() {
    // GL objects belong to a context the engine doesn't own: the owner calls
    // releaseGL() while it is current. Otherwise no context can be assumed
    // current here, so the names are dropped without a GL call.
    if (glReady_) {
        frameBuffer.framebufferId = 0;
        frameBuffer.depthRenderbuffer = 0;
        drawer_.abandon();
        viewTarget_.abandon();
    }
}

std::ostream& Engine::out() const { return log ? *log : std::cout; }

bool Engine::initializeGL(const GLProcResolver& resolve, int width, int height) {
    releaseGL();  // a second initialisation replaces the first one's objects
    glClearColor(0, 0, 0, 1);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glPolygonOffset(1.0f, 2.0f);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glEnable(GL_POLYGON_SMOOTH);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);

    arcBall = ArcBall(static_cast<float>(width), static_cast<float>(height));

    extensionLoader.out = log;
    if (!extensionLoader.load_GLextension(resolve)) return false;
    frameBuffer.loader = &extensionLoader;
    if (!extensionLoader.framebufferObjectSupported) return false;

    // Depth clamping keeps faces lying exactly on the near or far plane of
    // the depth views (every prepared mesh touches them) from being clipped
    // by rounding; it leaves the depth mapping as it is.
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    depthClampSupported_ = extensions && (extensionListContains(extensions, "GL_ARB_depth_clamp") ||
                                          extensionListContains(extensions, "GL_NV_depth_clamp"));
    if (!depthClampSupported_) {
        out() << "WARNING: no depth clamping (GL_ARB_depth_clamp): in the depth-buffer mode, faces on "
                 "the faces of the fitted cube may be lost"
              << std::endl;
    }

    glGenTextures(1, &colorTexture);
    glGenTextures(1, &depthTexture);
    auto setUp = [](GLuint texture, GLint internalFormat, GLenum format) {
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, kTextureSize, kTextureSize, 0, format,
                     GL_UNSIGNED_BYTE, nullptr);
        glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    };
    setUp(colorTexture, GL_RGBA, GL_RGBA);
    setUp(depthTexture, GL_DEPTH_COMPONENT, GL_DEPTH_COMPONENT);
    frameBuffer.init(kTextureSize, kTextureSize, GL_RGBA, colorTexture, depthTexture);
    frameBuffer.unbind();
    glReady_ = true;
    meshDirty_ = true;
    return true;
}

void Engine::releaseGL() {
    if (!glReady_) return;
    drawer_.release();
    viewTarget_.release();
    frameBuffer.release();
    glDeleteTextures(1, &colorTexture);
    glDeleteTextures(1, &depthTexture);
    colorTexture = depthTexture = 0;
    glReady_ = false;
}

void Engine::resizeGL(int width, int height) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1024, 1024, -1024, 1024, -1024, 1024);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    arcBall.setBounds(static_cast<float>(width), static_cast<float>(height));
}

void Engine::ensureMeshUploaded() {
    if (!meshDirty_ && drawer_.uploaded()) return;
    drawer_.upload(extensionLoader, mesh);
    meshDirty_ = false;
}

void Engine::paintGL(int width, int height) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1024, 1024, -1024, 1024, -1024, 1024);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMultMatrixf(arcBall.transform.m);
    glDisable(GL_LIGHTING);
    glColor3f(1, 1, 1);
    if (!glReady_) return;
    ensureMeshUploaded();
    drawer_.draw();
}

MeshLoadResult Engine::loadMesh(const std::string& path) {
    // A file without a usable vertex gives no mesh: it must not replace the
    // one loaded before, so it is read into a scratch mesh first.
    Mesh loaded;
    MeshLoadResult result = loadPreparedMesh(path, loaded);
    if (result.ok && loaded.vertexCount == 0) {
        result.ok = false;
        result.error = path + ": no usable vertex (no mesh in the file)";
    }
    if (result.ok) {
        mesh = std::move(loaded);
        meshExtent = result.meshExtent;
        meshDirty_ = true;
    }
    return result;
}

bool Engine::setVoxelSize(int n, Progress& progress, std::string* error) {
    const int oldSize = voxels.size();
    if (n < 1 || n > kTextureSize) {
        // The depth views render into the 1024 x 1024 target.
        if (error) *error = "ERROR: Voxel size " + std::to_string(n) + " is outside 1..1024";
        return false;
    }
    if (!voxels.empty()) {
        // The old volume goes in one block; the step is still shown so that a
        // re-selected size visibly clears the volume.
        ProgressStep step(progress, "Adjusting Voxel Storage...", oldSize);
        step.setValue(0);
    }
    if (!voxels.allocate(n)) {
        if (error) {
            *error = "ERROR: Not enough memory for a " + std::to_string(n) + " x " + std::to_string(n) +
                     " x " + std::to_string(n) + " voxel volume (" +
                     std::to_string(3ull * n * n * n >> 20) + " MiB); keeping " +
                     std::to_string(oldSize);
        }
        return false;
    }
    voxelSize = n;
    return true;
}

bool Engine::ensureTarget() {
    if (viewTarget_.size() == voxelSize) return true;
    return viewTarget_.create(extensionLoader, voxelSize);
}

VoxelizeResult Engine::voxelize(const std::string& directory, Progress& progress) {
    outputDirectory = directory;
    VoxelizeResult result;
    if (!checkMeshLoaded()) {
        // No box to fit a grid to; callers check first, this keeps it safe.
        result.ok = false;
        result.error = "ERROR: No OBJ file is loaded!!!";
        return result;
    }
    if (!glReady_ || !ensureTarget()) {
        result.ok = false;
        result.error = "ERROR: No usable OpenGL render target of " + std::to_string(voxelSize) + " x " +
                       std::to_string(voxelSize) + " pixels";
        std::cout.flush();
        std::cerr << result.error << std::endl;
        return result;
    }
    ensureMeshUploaded();
    if (mode != kModeDepthBuffer) return voxelizeClipping(progress);
    result = saveDepthBuffers(progress);
    if (!result.ok) return result;
    VoxelizeResult built = buildVoxelsFromDepthBuffers(progress);
    built.filesWritten += result.filesWritten;
    return built;
}

void Engine::readGrey(GreyImage& grey, std::vector<std::uint8_t>* rgbaTopFirst) {
    const int n = voxelSize;
    viewTarget_.readPixels(pixels_);
    grey.resize(static_cast<std::size_t>(n) * n);
    if (rgbaTopFirst) rgbaTopFirst->resize(static_cast<std::size_t>(n) * n * 4);
    for (int row = 0; row < n; ++row) {
        const std::uint8_t* src = pixels_.data() + static_cast<std::size_t>(n - 1 - row) * n * 4;
        for (int c = 0; c < n; ++c) {
            const std::uint8_t* p = src + 4 * c;
            grey[static_cast<std::size_t>(row) * n + c] =
                static_cast<std::uint8_t>(greyLevel(p[0], p[1], p[2]));
            if (rgbaTopFirst) {
                std::uint8_t* q = rgbaTopFirst->data() + (static_cast<std::size_t>(row) * n + c) * 4;
                q[0] = p[0];
                q[1] = p[1];
                q[2] = p[2];
                q[3] = 255;
            }
        }
    }
}

}  // namespace kubelmar
