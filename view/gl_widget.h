#pragma once

#include <QOpenGLWidget>
#include <QString>
#include <QSurfaceFormat>

#include "engine/batch_runner.h"
#include "engine/engine.h"
#include "engine/run_settings.h"
#include "formats/output_formats.h"
#include "formats/run_output.h"

class Dialogs;

// The OpenGL view of the main window: shows the loaded mesh, turns it with
// the mouse and runs every voxelization on its own GL context. All voxel
// work is the engine's; this class forwards to it, keeps the context
// current while it works and turns its reports into dialogs.
//
// The widget's size in pixels is fixed to N x N by the voxel size, at most
// 1024 x 1024.
class GLWidget : public QOpenGLWidget {
    Q_OBJECT

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
    void setMode(int mode);
    // What a save writes besides volume.json (the PNG stack by default).
    void setOutputFormats(const std::vector<kubelmar::OutputFormat>& formats) { formats_ = formats; }
    const std::vector<kubelmar::OutputFormat>& outputFormats() const { return formats_; }
    void setDepthPrecision(kubelmar::DepthPrecision precision) { settings_.depthPrecision = precision; }
    // Makes n the resolution and fixes the view to n x n pixels (at most
    // 1024). A size the GL can't render is refused with a box and the old
    // size and view size stay.
    bool setVoxelSize(int n);
    // 1 when a mesh with at least one vertex is loaded; otherwise shows the
    // error box and returns -1.
    int checkMeshLoaded();
    // Voxelizes the loaded mesh with the current mode and size into
    // `directory` under progress dialogs, then repaints (the view keeps the
    // last axis view). Prints one status line. Reports failures; shows none.
    kubelmar::VoxelizeResult voxelize(QString directory);
    // Voxelizes every OBJ file of `directory`, each into a directory named
    // after it, with the current mode and size. Shows no box either.
    kubelmar::BatchResult batch(QString directory);

    int mode() const { return settings_.mode; }
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

private:
    void releaseGL();
    kubelmar::OutputRequest outputRequest(const std::string& directory, const std::string& meshPath) const;

    static constexpr int kMaxShownSize = 1024;

    Dialogs* dialogs_;
    kubelmar::Engine engine_;
    kubelmar::RunSettings settings_;
    bool sizeChosen_ = false;
    QString outputDirectory_;  // the directory of the last voxelization
    std::vector<kubelmar::OutputFormat> formats_ = {kubelmar::OutputFormat::Png};
    // Position of the last press or move, widget pixels (origin top left).
    int lastMouseX_ = 0;
    int lastMouseY_ = 0;
};
