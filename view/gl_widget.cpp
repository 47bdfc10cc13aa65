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

#include "view/dialog_progress.h"

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

GLWidget::GLWidget(QWidget* parent) : QOpenGLWidget(parent) {
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
    const kubelmar::GLStartResult started = engine_.initializeGL(resolver, width(), height());
    if (started) {
        if (!started.diagnostics.empty()) emit glWarnings(started.diagnostics);
        return;
    }
    // A required extension is missing and its lines are printed. Wait for a
    // key only where someone can press one.
    std::cout.flush();
    if (const kubelmar::Diagnostic* why = kubelmar::firstError(started.diagnostics))
        std::cerr << "ERROR: " << why->text() << std::endl;
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
    engine_.paintGL(qRound(width() * ratio), qRound(height() * ratio), colour_);
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

void GLWidget::setColourSource(kubelmar::ColourSource colour) {
    colour_ = colour;
    update();
}

kubelmar::MeshLoadResult GLWidget::loadMesh(const QString& fileName, const kubelmar::LoadLimits& limits,
                                            const kubelmar::LoadProgress& progress) {
    kubelmar::MeshLoadResult result = engine_.loadMesh(fileSystemName(fileName), limits, progress);
    if (!result.ok) return result;
    engine_.view().frameMesh(engine_.mesh());
    // Qt only re-runs paintGL on request; without one the old picture stays.
    update();
    emit meshLoaded(fileName);
    return result;
}

void GLWidget::preferSide(int n) {
    // Voxelization renders off screen at N whatever the view's size; only
    // the first size chosen says how large the view opens.
    if (sideChosen_) return;
    sideChosen_ = true;
    preferredSize_ = preferredViewSize(n);
    updateGeometry();
}

kubelmar::RunReport GLWidget::runOnContext(const Work& work, const QString& labelPrefix) {
    // Every value of a progress dialog may repaint (and so make current) some
    // other widget's context: the engine's context is made current again.
    makeCurrent();
    DialogProgress progress(this, [this] { makeCurrent(); });
    progress.setLabelPrefix(labelPrefix);
    const std::string meshBefore = engine_.meshPath();
    kubelmar::RunReport report = work(engine_, progress);
    doneCurrent();
    if (engine_.meshPath() != meshBefore && engine_.checkMeshLoaded()) {
        engine_.view().frameMesh(engine_.mesh());
        emit meshLoaded(fromEngine(engine_.meshPath()));
    }
    update();
    return report;
}
