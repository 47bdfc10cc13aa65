#pragma once

#include <QMainWindow>
#include <QString>

#include "engine/run_settings.h"
#include "engine/runner.h"

class Dialogs;
class GLWidget;
class QAction;
class QLabel;
class QMenu;
class ResultPanel;

// The main window: the view as central widget, the File commands (open,
// batch, save, the recent files, quit; a mesh file dropped on the window
// opens too), the Settings menu (voxelization mode and voxel size,
// remembered between runs), the View menu (shading, fit, the Result panel),
// a status bar with the mesh and the last save, and the dockable Result
// panel. The settings are one RunRequest value here; the view lends its GL
// context to each run, and only the window shows dialogs.
class Window : public QMainWindow {
    Q_OBJECT

public:
    // `dialogs` answers the file dialogs and message boxes of the window and
    // its view; Qt's own when null. It must outlive the window.
    explicit Window(Dialogs* dialogs = nullptr);
    ~Window() override;

    GLWidget* view() const { return glWidget_; }
    // Opens a mesh file as File > Open does once a file is chosen, and puts
    // it first in File > Open Recent. False (with a box) when it can't be read.
    bool openFile(const QString& fileName);
    // The recent files, most recent first (at most kRecentFiles).
    QStringList recentFiles() const;
    static constexpr int kRecentFiles = 8;
    ResultPanel* resultPanel() const { return resultPanel_; }
    // The status bar's two texts: the loaded mesh, and the last save or batch.
    QString meshStatus() const;
    QString runStatus() const;
    // What a save does: the settings chosen in the menus.
    const kubelmar::RunRequest& runRequest() const { return request_; }

private slots:
    void open();
    void batch();
    void save();
    void algorithmEvent(QAction* action);
    void voxelEvent(QAction* action);
    void formatsChanged();
    void meshLoaded(const QString& fileName);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void rememberRecent(const QString& fileName, bool keep);
    void updateRecentMenu();
    QAction* createFileAction(const char* name, const QString& iconPath, const QString& text,
                              const QString& shortcut, const QString& statusTip);
    QAction* createSettingAction(const char* name, const QString& text);
    void createViewMenu();
    // Makes n the resolution; a size the GL can't render is refused with a
    // box and the old size stays.
    bool setVoxelSize(int n);
    // Prints each diagnostic on the console and shows the first warning in
    // the status bar.
    void showDiagnostics(const kubelmar::Diagnostics& diagnostics);

    Dialogs* dialogs_;
    kubelmar::RunRequest request_;
    bool sizeChosen_ = false;
    GLWidget* glWidget_ = nullptr;
    ResultPanel* resultPanel_ = nullptr;
    QLabel* meshStatus_ = nullptr;
    QLabel* runStatus_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QString objFileName_;    // the last answer of the Open dialog
    QString saveDirectory_;  // the last answer of the Save dialog
    QAction* openAct_ = nullptr;
    QAction* batchAct_ = nullptr;
    QAction* saveAct_ = nullptr;
    QAction* depthBufferAct_ = nullptr;
    QAction* clippingAct_ = nullptr;
    QAction* parityAct_ = nullptr;
    QAction* size64Act_ = nullptr;
    QAction* size128Act_ = nullptr;
    QAction* size256Act_ = nullptr;
    QAction* size512Act_ = nullptr;
    QAction* size1024Act_ = nullptr;
    QAction* size2048Act_ = nullptr;
    QList<QAction*> formatActs_;  // Settings > Output Formats, one per format
    QAction* fullDepthAct_ = nullptr;
    QAction* insideParityAct_ = nullptr;
    QAction* insideNonZeroAct_ = nullptr;
    QAction* keepThinPartsAct_ = nullptr;
};
