#include "voxelizer.h"

namespace kubelmar {

namespace {

// Makes the context current for one call and leaves the thread without it,
// so that the next call may come from another thread.
class CurrentContext {
public:
    explicit CurrentContext(HeadlessGLContext& context) : context_(context), ok_(context.makeCurrent()) {}
    ~CurrentContext() {
        if (ok_) context_.doneCurrent();
    }
    bool ok() const { return ok_; }

private:
    HeadlessGLContext& context_;
    bool ok_;
};

// The size the engine's interactive view is given: never painted here.
constexpr int kViewSize = 512;

}  // namespace

std::unique_ptr<ArrayVoxelizer> ArrayVoxelizer::create(std::string* error) {
    std::unique_ptr<ArrayVoxelizer> voxelizer(new ArrayVoxelizer);
    voxelizer->engine_.setLog(&voxelizer->log_);
    std::string why;
    voxelizer->context_ = HeadlessGLContext::create(&why);
    if (!voxelizer->context_) {
        *error = "no OpenGL context (" + why + ")";
        return nullptr;
    }
    const GLStartResult started =
        voxelizer->engine_.initializeGL(voxelizer->context_->resolver(), kViewSize, kViewSize);
    if (!started) {
        const Diagnostic* reason = firstError(started.diagnostics);
        *error = reason ? reason->text() : "OpenGL could not start";
        voxelizer->engine_.releaseGL();
        return nullptr;
    }
    voxelizer->renderer_ = voxelizer->context_->description();
    voxelizer->log_.str("");
    voxelizer->context_->doneCurrent();
    return voxelizer;
}

ArrayVoxelizer::~ArrayVoxelizer() {
    if (!context_) return;
    // GL objects are deleted with their context current.
    if (context_->makeCurrent()) engine_.releaseGL();
}

bool ArrayVoxelizer::claim() {
    bool expected = false;
    return busy_.compare_exchange_strong(expected, true);
}

void ArrayVoxelizer::release() { busy_.store(false); }

ArrayOutcome ArrayVoxelizer::voxelizeFile(const std::string& path, const ArrayRequest& request) {
    RunReport report;
    report.job = {path, path, {}};  // no output folder: nothing is written
    report.mode = request.settings.mode;
    if (!loadForRun(engine_, report)) return {std::move(report), nullptr};
    return voxelizeLoadedMesh(request, std::move(report));
}

ArrayOutcome ArrayVoxelizer::voxelizeMesh(Mesh mesh, const std::string& name, const ArrayRequest& request) {
    RunReport report;
    report.job = {name, name, {}};
    report.mode = request.settings.mode;
    const MeshLoadResult prepared = engine_.setMesh(std::move(mesh), name);
    report.diagnostics = prepared.diagnostics;
    if (!prepared.ok) {
        report.status = RunReport::Status::Failed;
        return {std::move(report), nullptr};
    }
    return voxelizeLoadedMesh(request, std::move(report));
}

ArrayOutcome ArrayVoxelizer::voxelizeLoadedMesh(const ArrayRequest& request, RunReport report) {
    log_.str("");
    const CurrentContext current(*context_);
    if (!current.ok()) {
        report.fail(errorAbout({}, "the OpenGL context can't be made current on this thread"));
        return {std::move(report), nullptr};
    }
    RunRequest run;
    run.settings = request.settings;
    run.settings.depthPictureDirectory.clear();
    ArrayVolumeConsumer arrays(request.crop, request.packed);
    NullProgress progress;
    voxelizeLoaded(engine_, run, report, progress, &arrays);
    log_.str("");
    if (!report.done()) return {std::move(report), nullptr};
    return {std::move(report), arrays.take()};
}

int ArrayVoxelizer::liveGLObjects() {
    const CurrentContext current(*context_);
    if (!current.ok()) return -1;
    using IsObject = GLboolean (*)(GLuint);
    const GLProcResolver resolve = context_->resolver();
    const IsObject kinds[] = {
        reinterpret_cast<IsObject>(resolve("glIsBuffer")),
        reinterpret_cast<IsObject>(resolve("glIsFramebuffer")),
        reinterpret_cast<IsObject>(resolve("glIsRenderbuffer")),
        reinterpret_cast<IsObject>(resolve("glIsProgram")),
        reinterpret_cast<IsObject>(resolve("glIsShader")),
    };
    int live = 0;
    for (GLuint name = 1; name <= 4096; ++name) {
        live += glIsTexture(name) ? 1 : 0;
        for (IsObject isObject : kinds) live += isObject && isObject(name) ? 1 : 0;
    }
    return live;
}

}  // namespace kubelmar
