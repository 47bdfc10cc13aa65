#include "view/gl_widget.h"

#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QScreen>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "view/cancel_gate.h"
#include "view/dialog_progress.h"
#include "formats/fan_out_consumer.h"
#include "formats/run_output.h"
#include "view/qt_dialogs.h"
#include "voxel/batch.h"

namespace {

// Entry points come from the context that is current when the engine asks:
// the widget's own, made current by Qt around initializeGL.
void* lookUpProc(const char* name, void*) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

std::string fileSystemName(const QString& name) { return QFile::encodeName(name).toStdString(); }

QString fromEngine(const std::string& text) { return QString::fromLocal8Bit(text.data(), qsizetype(text.size())); }

// One wheel notch (120 eighths of a degree) zooms by this factor.
constexpr double kZoomPerNotch = 1.2;

// The view's first size: n x n pixels where that leaves room on the
// primary screen for the window's frame, menus and status bar.
QSize preferredViewSize(int n) {
    int side = n;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableSize() - QSize(80, 160);
        side = std::min(side, std::min(room.width(), room.height()));
    }
    side = std::max(side, 64);
    return {side, side};
}

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

void GLWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    // The first press of the pair started a drag: end it before fitting.
    engine_.view().release();
    if (event->button() == Qt::LeftButton) fitView();
}

void GLWidget::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0.0) return;
    zoomBy(float(std::pow(kZoomPerNotch, notches)));
    event->accept();
}

void GLWidget::setShaded(bool shaded) {
    engine_.view().setShaded(shaded);
    update();
}

void GLWidget::fitView() {
    engine_.view().fit();
    update();
}

void GLWidget::zoomBy(float factor) {
    engine_.view().zoomBy(factor);
    update();
}

bool GLWidget::loadMesh(QString fileName) {
    const kubelmar::MeshLoadResult result = engine_.loadMesh(fileSystemName(fileName));
    kubelmar::writeLoadLog(result.log, &std::cout, &std::cerr);
    for (const std::string& warning : result.warningTexts()) std::cerr << "WARNING: " << warning << std::endl;
    if (!result.ok) {
        std::cout.flush();
        std::cerr << "ERROR: " << result.errorText() << std::endl;
        dialogs_->critical(this, tr("Kubelmar"), fromEngine(result.errorText()));
        return false;
    }
    engine_.view().frameMesh(engine_.mesh());
    lastPreview_.reset();
    // Qt only re-runs paintGL on request; without one the old picture stays.
    update();
    emit meshLoaded(fileName);
    return true;
}

void GLWidget::setMode(kubelmar::VoxelMode mode) { settings_.mode = mode; }

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
    // Voxelization renders off screen at N whatever the view's size; only
    // the first size chosen says how large the view opens.
    if (!sizeChosen_) {
        preferredSize_ = preferredViewSize(n);
        updateGeometry();
    }
    sizeChosen_ = true;
    settings_.size = n;
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
    // The preview reads the volume as it streams past the files, so the
    // Result panel needs no second look at what was written.
    auto preview = std::make_shared<kubelmar::VolumePreview>();
    CancelGate gate([&progress] { return progress.cancelled(); });
    kubelmar::FanOutConsumer outputs;
    outputs.add(gate);  // first, so a cancelled slice reaches no file
    outputs.add(files);
    outputs.add(*preview);
    lastPreview_.reset();
    const kubelmar::VoxelizeResult result = engine_.voxelize(settings_, outputs, progress);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    lastRunSeconds_ = seconds;
    lastRunCancelled_ = gate.tripped();
    if (result.ok && preview->complete()) lastPreview_ = preview;
    doneCurrent();
    if (lastRunCancelled_) {
        std::printf("Voxelization into %s cancelled after %.2f s; nothing was written\n",
                    fileSystemName(directory).c_str(), seconds);
        std::fflush(stdout);
        update();
        return result;
    }
    if (!result.ok) {
        std::cout.flush();
        std::cerr << "ERROR: " << result.error.text() << std::endl;
    }
    if (result.ok) {
        std::printf("Voxelized into %s: mode %s, size %d, %d files, %.2f s\n",
                    fileSystemName(directory).c_str(), kubelmar::modeName(settings_.mode), settings_.size,
                    result.filesWritten, seconds);
    } else {
        std::printf("Voxelization into %s failed: mode %s, size %d, %d files written, %.2f s\n",
                    fileSystemName(directory).c_str(), kubelmar::modeName(settings_.mode), settings_.size,
                    result.filesWritten, seconds);
    }
    std::fflush(stdout);
    update();
    return result;
}

kubelmar::BatchResult GLWidget::batch(QString directory) {
    makeCurrent();
    DialogProgress progress(this, [this] { makeCurrent(); });
    const auto start = std::chrono::steady_clock::now();
    // The listing again, only to number the files in the progress labels.
    std::vector<std::string> listed;
    std::vector<kubelmar::UnreadableEntry> unreadable;
    kubelmar::listObjFiles(fileSystemName(directory), listed, unreadable, nullptr);
    const std::string firstMesh = engine_.meshPath();
    // runBatch asks for each file's consumer just before voxelizing it.
    bool cancelled = false;
    const kubelmar::ConsumerFactory outputs = [&](const std::string& dir, const std::string& meshPath) {
        const auto at = std::find(listed.begin(), listed.end(), meshPath);
        progress.setLabelPrefix(tr("%1 (%2 of %3): ")
                                    .arg(QFileInfo(fromEngine(meshPath)).fileName())
                                    .arg(int(at - listed.begin()) + 1)
                                    .arg(listed.size()));
        // After a cancel every file left fails at once, with nothing written.
        auto fan = std::make_unique<kubelmar::FanOutConsumer>();
        fan->add(std::make_unique<CancelGate>([&] { return cancelled = cancelled || progress.cancelled(); }));
        fan->add(std::make_unique<kubelmar::RunOutput>(outputRequest(dir, meshPath)));
        return std::unique_ptr<kubelmar::SliceConsumer>(std::move(fan));
    };
    lastPreview_.reset();
    const kubelmar::BatchResult result = kubelmar::runBatch(engine_, settings_, fileSystemName(directory), outputs,
                                                            progress, std::cout, std::cerr);
    lastRunSeconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    lastRunCancelled_ = cancelled;
    doneCurrent();
    if (engine_.meshPath() != firstMesh) {
        engine_.view().frameMesh(engine_.mesh());
        emit meshLoaded(fromEngine(engine_.meshPath()));
    }
    update();
    return result;
}
