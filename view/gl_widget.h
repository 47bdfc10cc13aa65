#pragma once

#include <QOpenGLWidget>
#include <QString>
#include <QSurfaceFormat>
#include <memory>

#include "engine/batch_runner.h"
#include "engine/engine.h"
#include "engine/run_settings.h"
#include "formats/output_formats.h"
#include "formats/preview_volume.h"
#include "formats/run_output.h"

class Dialogs;

// The OpenGL view of the main window: shows the loaded mesh, turns it with
// the mouse and runs every voxelization on its own GL context. All voxel
// work is the engine's; this class forwards to it, keeps the context
// current while it works and turns its reports into dialogs.
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

public:
    // `dialogs` answers the view's message boxes; Qt's own when null. It must
    // outlive the widget.
    explicit GLWidget(Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
    ~GLWidget() override;

    // The surface format the engine needs: a compatibility profile (the
    // engine draws with the fixed-function pipeline) with a depth buffer.
    // Set it as the default before the application object is created.
    static QSurfaceFormat requiredFormat();

    // Replaces the mesh by the OBJ file's content and repaints. A file that
    // can't be read leaves the previous mesh and shows a box naming the file.
    bool loadMesh(QString fileName);
    // 0 depth-buffer, any other value clipping; nothing else changes.
    void setMode(kubelmar::VoxelMode mode);
    // What a save writes besides volume.json (the PNG stack by default).
    void setOutputFormats(const std::vector<kubelmar::OutputFormat>& formats) { formats_ = formats; }
    const std::vector<kubelmar::OutputFormat>& outputFormats() const { return formats_; }
    void setDepthPrecision(kubelmar::DepthPrecision precision) { settings_.depthPrecision = precision; }
    // Makes n the resolution. The first size chosen also becomes the view's
    // preferred size (n x n pixels, or what fits on the screen); later ones
    // leave the view alone. A size the GL can't render is refused with a
    // box and the old size stays.
    bool setVoxelSize(int n);
    // 1 when a mesh with at least one vertex is loaded; otherwise shows the
    // error box and returns -1.
    int checkMeshLoaded();
    // Voxelizes the loaded mesh with the current mode and size into
    // `directory` under progress dialogs, then repaints; the user's rotation
    // stays. Prints one status line. Reports failures; shows none. A
    // finished run leaves its preview in lastPreview().
    kubelmar::VoxelizeResult voxelize(QString directory);
    // Voxelizes every OBJ file of `directory`, each into a directory named
    // after it, with the current mode and size. Shows no box either.
    kubelmar::BatchResult batch(QString directory);

    // Shaded (headlight) or flat (the vertex colours as they are) view.
    void setShaded(bool shaded);
    bool shaded() const { return engine_.view().shaded(); }
    // Zoom 1: the whole mesh in view at any rotation.
    void fitView();
    void zoomBy(float factor);
    float zoom() const { return engine_.view().zoom(); }

    // What the last finished save streamed (null when it failed, after a
    // batch or a load), and how long the last save or batch took.
    std::shared_ptr<const kubelmar::VolumePreview> lastPreview() const { return lastPreview_; }
    double lastRunSeconds() const { return lastRunSeconds_; }
    // The user pressed Cancel during the last save or batch; what was not
    // finished then was removed.
    bool lastRunCancelled() const { return lastRunCancelled_; }

    QSize sizeHint() const override { return preferredSize_; }
    QSize minimumSizeHint() const override { return {64, 64}; }

    kubelmar::VoxelMode mode() const { return settings_.mode; }
    int voxelSize() const { return settings_.size; }
    const kubelmar::RunSettings& settings() const { return settings_; }
    QString outputDirectory() const { return outputDirectory_; }
    kubelmar::Engine& engine() { return engine_; }

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
    kubelmar::OutputRequest outputRequest(const std::string& directory, const std::string& meshPath) const;


    Dialogs* dialogs_;
    kubelmar::Engine engine_;
    kubelmar::RunSettings settings_;
    bool sizeChosen_ = false;
    QString outputDirectory_;  // the directory of the last voxelization
    QSize preferredSize_{512, 512};
    std::shared_ptr<const kubelmar::VolumePreview> lastPreview_;
    double lastRunSeconds_ = 0.0;
    bool lastRunCancelled_ = false;
    std::vector<kubelmar::OutputFormat> formats_ = {kubelmar::OutputFormat::Png};
    // Position of the last press or move, widget pixels (origin top left).
    int lastMouseX_ = 0;
    int lastMouseY_ = 0;
};
