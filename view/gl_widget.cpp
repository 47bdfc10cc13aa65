#include "view/gl_widget.h"

#include <unistd.h>

#include <QFile>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "view/dialog_progress.h"
#include "voxel/axis_views.h"
#include "formats/run_output.h"
#include "view/qt_dialogs.h"

namespace {

// Entry points come from the context that is current when the engine asks:
// the widget's own, made current by Qt around initializeGL.
void* lookUpProc(const char* name, void*) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

std::string fileSystemName(const QString& name) { return QFile::encodeName(name).toStdString(); }

QString fromEngine(const std::string& text) { return QString::fromLocal8Bit(text.data(), qsizetype(text.size())); }

const char* modeName(int mode) { return mode == kubelmar::kModeDepthBuffer ? "depth-buffer" : "clipping"; }

}  // namespace

kubelmar::OutputRequest GLWidget::outputRequest(const std::string& directory, const std::string& meshPath) const {
    kubelmar::OutputRequest request;
    request.directory = directory;
    request.meshPath = meshPath;
    request.formats = formats_;
    request.programVersion = KUBELMAR_VERSION;
    return request;
}

GLWidget::GLWidget(Dialogs* dialogs, QWidget* parent)
    : QOpenGLWidget(parent), dialogs_(dialogs ? dialogs : &QtDialogs::shared()) {
    // The desktop program keeps its console lines: extension report, grid lines.
    engine_.setLog(&std::cout);
}

GLWidget::~GLWidget() {
    // ~QOpenGLWidget destroys the context after this class's members are
    // gone: the release hook must not run then.
    if (QOpenGLContext* current = context()) disconnect(current, nullptr, this, nullptr);
    releaseGL();
}

QSurfaceFormat GLWidget::requiredFormat() {
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    return format;
}

void GLWidget::releaseGL() {
    if (!engine_.glReady()) return;
    makeCurrent();
    engine_.releaseGL();
    doneCurrent();
}

void GLWidget::initializeGL() {
    // Qt replaces the context when the widget moves to another window and
    // initializes again; the engine's GL objects die with the old context
    // and are released first.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] { releaseGL(); });
    const kubelmar::GLProcResolver resolver{&lookUpProc, nullptr};
    if (engine_.initializeGL(resolver, width(), height())) return;
    // A required extension is missing and its lines are printed. Wait for a
    // key only where someone can press one.
    std::cout.flush();
    if (isatty(STDIN_FILENO)) {
        std::cerr << "Press Enter to continue..." << std::flush;
        std::getchar();
    }
    std::exit(1);
}

void GLWidget::resizeGL(int w, int h) {
    // w x h are widget pixels, the frame of the mouse positions the arcball
    // gets; paintGL sets the viewport in device pixels.
    engine_.resizeGL(w, h);
}

void GLWidget::paintGL() {
    // Draws into the widget's framebuffer object, bound by Qt.
    const qreal ratio = devicePixelRatioF();
    engine_.paintGL(qRound(width() * ratio), qRound(height() * ratio), settings_.colour);
}

void GLWidget::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    lastMouseX_ = p.x();
    lastMouseY_ = p.y();
    if (event->button() == Qt::LeftButton)
        engine_.view().click(float(lastMouseX_), float(lastMouseY_));
    update();
}

void GLWidget::mouseMoveEvent(QMouseEvent* event) {
    // Without mouse tracking moves arrive only while a button is held; the
    // arcball ignores them unless a left press started a drag.
    const QPoint p = event->position().toPoint();
    engine_.view().drag(float(p.x()), float(p.y()));
    lastMouseX_ = p.x();
    lastMouseY_ = p.y();
    update();
}

void GLWidget::mouseReleaseEvent(QMouseEvent*) { engine_.view().release(); }

bool GLWidget::loadMesh(QString fileName) {
    const kubelmar::MeshLoadResult result = engine_.loadMesh(fileSystemName(fileName));
    kubelmar::writeLoadLog(result.log, &std::cout, &std::cerr);
    if (!result.ok) {
        std::cout.flush();
        std::cerr << "ERROR: " << result.error << std::endl;
        dialogs_->critical(this, tr("Kubelmar"), fromEngine(result.error));
        return false;
    }
    // Qt only re-runs paintGL on request; without one the old picture stays.
    update();
    return true;
}

void GLWidget::setMode(int mode) { settings_.mode = mode; }

bool GLWidget::setVoxelSize(int n) {
    const std::string why = engine_.checkVoxelSize(n);
    if (!why.empty()) {
        const std::string error = "ERROR: " + why + "; keeping " + std::to_string(settings_.size);
        std::cout.flush();
        std::cerr << error << std::endl;
        dialogs_->critical(this, tr("Kubelmar"), fromEngine(error));
        return false;
    }
    if (sizeChosen_) {
        // Nothing of size N^3 is held any more; the step still shows that the
        // new size took effect.
        DialogProgress progress(this);
        kubelmar::ProgressStep step(progress, "Adjusting Voxel Storage...", settings_.size);
        step.setValue(0);
    }
    sizeChosen_ = true;
    settings_.size = n;
    // Voxelization renders off screen at N; the view stays at most
    // 1024 x 1024 on screen.
    const int shown = std::min(n, kMaxShownSize);
    setFixedSize(shown, shown);
    return true;
}

int GLWidget::checkMeshLoaded() {
    if (engine_.checkMeshLoaded()) return 1;
    dialogs_->critical(this, tr("Kubelmar"), tr("ERROR: No OBJ file is loaded!!!\n"));
    return -1;
}

kubelmar::VoxelizeResult GLWidget::voxelize(QString directory) {
    // Every value of a progress dialog may repaint (and so make current) some
    // other widget's context: the engine's context is made current again.
    makeCurrent();
    DialogProgress progress(this, [this] { makeCurrent(); });
    const auto start = std::chrono::steady_clock::now();
    outputDirectory_ = directory;
    kubelmar::RunOutput files(outputRequest(fileSystemName(directory), engine_.meshPath()));
    const kubelmar::VoxelizeResult result = engine_.voxelize(settings_, files, progress);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The view is left on the last axis view the run used.
    engine_.view().setOrientation(kubelmar::axisRotation(kubelmar::lastAxisView(settings_.mode)));
    doneCurrent();
    if (!result.ok) {
        std::cout.flush();
        std::cerr << result.error << std::endl;
    }
    if (result.ok) {
        std::printf("Voxelized into %s: mode %s, size %d, %d files, %.2f s\n",
                    fileSystemName(directory).c_str(), modeName(settings_.mode), settings_.size,
                    result.filesWritten, seconds);
    } else {
        std::printf("Voxelization into %s failed: mode %s, size %d, %d files written, %.2f s\n",
                    fileSystemName(directory).c_str(), modeName(settings_.mode), settings_.size,
                    result.filesWritten, seconds);
    }
    std::fflush(stdout);
    update();
    return result;
}

kubelmar::BatchResult GLWidget::batch(QString directory) {
    makeCurrent();
    DialogProgress progress(this, [this] { makeCurrent(); });
    const kubelmar::ConsumerFactory outputs = [this](const std::string& dir, const std::string& meshPath) {
        return std::unique_ptr<kubelmar::SliceConsumer>(
            std::make_unique<kubelmar::RunOutput>(outputRequest(dir, meshPath)));
    };
    const kubelmar::BatchResult result = kubelmar::runBatch(engine_, settings_, fileSystemName(directory), outputs,
                                                            progress, std::cout, std::cerr);
    engine_.view().setOrientation(kubelmar::axisRotation(kubelmar::lastAxisView(settings_.mode)));
    doneCurrent();
    update();
    return result;
}
