#pragma once

#include <QOpenGLWidget>
#include <QString>
#include <QSurfaceFormat>
#include <functional>

#include "engine/engine.h"
#include "engine/runner.h"

// The OpenGL view of the main window: shows the loaded mesh, turns it with
// the mouse and lends its GL context to every voxelization. The voxel work
// is the engine's and the runner's; the settings and the dialogs are the
// window's.
//
// The view is resizable and independent of N (voxelization renders off
// screen); it asks for N x N pixels at first, or what fits on the screen.
// The wheel zooms, a double click fits the mesh into the view.
class GLWidget : public QOpenGLWidget {
    Q_OBJECT

signals:
    // A mesh replaced the previous one (a load, or the last file of a batch);
    // `fileName` as it was given.
    void meshLoaded(const QString& fileName);
    // What starting GL has to say (e.g. no depth clamping), once.
    void glWarnings(const kubelmar::Diagnostics& warnings);

public:
    explicit GLWidget(QWidget* parent = nullptr);
    ~GLWidget() override;

    // The surface format the engine needs: a compatibility profile (the
    // engine draws with the fixed-function pipeline) with a depth buffer.
    // Set it as the default before the application object is created.
    static QSurfaceFormat requiredFormat();

    // Replaces the mesh by the file's content and repaints. A file that
    // can't be read leaves the previous mesh; the result says why.
    // `progress` hears how much of the file is read (mesh/load_progress.h).
    kubelmar::MeshLoadResult loadMesh(const QString& fileName, const kubelmar::LoadLimits& limits = {},
                                      const kubelmar::LoadProgress& progress = {});

    // Runs `work` on the view's context under window-modal progress
    // dialogs (their labels after `labelPrefix`), then repaints; the
    // user's rotation stays. When the work left another mesh loaded (a
    // batch), the view frames it and says so with meshLoaded.
    using Work = std::function<kubelmar::RunReport(kubelmar::Engine&, kubelmar::Progress&)>;
    kubelmar::RunReport runOnContext(const Work& work, const QString& labelPrefix = {});

    // The view's first size: n x n pixels, or what fits on the screen. Only
    // the first call counts; later sizes leave the view alone.
    void preferSide(int n);

    // Shaded (headlight) or flat (the vertex colours as they are) view.
    void setShaded(bool shaded);
    bool shaded() const { return engine_.view().shaded(); }
    // Which colours the view draws (the clipping mode's source).
    void setColourSource(kubelmar::ColourSource colour);
    // Zoom 1: the whole mesh in view at any rotation.
    void fitView();
    void zoomBy(float factor);
    float zoom() const { return engine_.view().zoom(); }

    QSize sizeHint() const override { return preferredSize_; }
    QSize minimumSizeHint() const override { return {64, 64}; }

    kubelmar::Engine& engine() { return engine_; }
    const kubelmar::Engine& engine() const { return engine_; }

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void releaseGL();

    kubelmar::Engine engine_;
    kubelmar::ColourSource colour_ = kubelmar::ColourSource::Auto;
    bool sideChosen_ = false;
    QSize preferredSize_{512, 512};
    // Position of the last press or move, widget pixels (origin top left).
    int lastMouseX_ = 0;
    int lastMouseY_ = 0;
};
