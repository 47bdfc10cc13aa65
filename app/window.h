#pragma once

#include <QMainWindow>
#include <QString>

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
// panel. Each command becomes calls on the view; the settings live in it.
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

    Dialogs* dialogs_;
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
};
