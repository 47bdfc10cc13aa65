#pragma once

#include <QMainWindow>
#include <QString>

#include "engine/run_settings.h"
#include "colour/print_options.h"
#include "engine/grid_options.h"
#include "engine/runner.h"

class Dialogs;
class GLWidget;
class QAction;
class QLabel;
class QMenu;
class ResultPanel;
class SaveStrip;
class StatusArea;

// The main window: the view as central widget, the File commands (open,
// batch, save, the recent files, quit; a mesh file dropped on the window
// opens too), the Settings menu (voxelization mode and voxel size,
// remembered between runs), the View menu (shading, fit, the Result panel),
// a strip above the view saying what a save will do, a status bar with the
// mesh and the last load, save or batch, and the dockable Result panel.
// The settings are one RunRequest value here; the view lends its GL context
// to each run, and only the window shows dialogs.
//
// The window never opens larger than the screen's available area, and
// while the Result panel is docked beside the view the view keeps at least
// half of the window's width (window_layout.cpp).
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
    StatusArea* statusArea() const { return status_; }
    SaveStrip* saveStrip() const { return saveStrip_; }
    // The status bar's two texts in full: the loaded mesh, and the note of
    // the last load, save or batch (empty once another mesh is opened).
    QString meshStatus() const;
    QString runStatus() const;
    // Shows the Result panel where it leaves the view at least half of the
    // window's width: beside the view, the window grown to fit within the
    // screen; below it; or floating. Starts from where the user last put it.
    void showResultPanel();

    void setVisible(bool visible) override;
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
    void resultPanelMoved();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The load with its note, wait cursor and (when slow) progress dialog.
    kubelmar::MeshLoadResult loadWithFeedback(const QString& fileName, const kubelmar::LoadLimits& limits);
    void rememberRecent(const QString& fileName, bool keep);
    void updateRecentMenu();
    QAction* createFileAction(const char* name, const QString& iconPath, const QString& text,
                              const QString& shortcut, const QString& statusTip);
    QAction* createSettingAction(const char* name, const QString& text);
    void createViewMenu();
    void updateSaveStrip();
    // window_grid.cpp: Settings > Grid..., the grid options remembered
    // between runs and resolved into the run's grid.
    void createGridAction(QMenu* settingsMenu);
    void chooseGrid();
    bool applyGrid(const kubelmar::GridOptions& options);
    void createPrintAction(QMenu* settingsMenu);
    void choosePrint();
    bool applyPrint(const kubelmar::PrintOptions& options);
    // window_layout.cpp: the screen's room, fitting the window into it, and
    // where the Result panel goes.
    QRect screenRoom() const;
    void fitIntoScreen(QSize frame);
    bool dockResultPanelBeside(const QRect& room, int panelWidth);
    bool dockResultPanelBelow(const QRect& room);
    void floatResultPanel(const QRect& room);
    // Holds the view's half while the panel is beside it; `mayGrow`: the
    // window may grow for that (the user has just docked the panel there).
    void keepViewCentral(bool mayGrow);
    // Its width and floating place; with `place`, also where it is (the
    // user moved it).
    void rememberResultPanel(bool place) const;
    QString currentPanelPlace() const;
    // Makes n the resolution; a size the GL can't render is refused with a
    // box and the old size stays.
    bool setVoxelSize(int n);
    // Prints each diagnostic on the console and shows the first warning in
    // the status bar.
    void showDiagnostics(const kubelmar::Diagnostics& diagnostics);
    // "Warning: <the first> (and N more on the console)"; empty without.
    static QString warningNote(const kubelmar::Diagnostics& diagnostics);

    Dialogs* dialogs_;
    kubelmar::RunRequest request_;
    bool sizeChosen_ = false;
    GLWidget* glWidget_ = nullptr;
    ResultPanel* resultPanel_ = nullptr;
    StatusArea* status_ = nullptr;
    SaveStrip* saveStrip_ = nullptr;
    bool shownOnce_ = false;
    // True while the window itself moves the panel.
    bool placingPanel_ = false;
    // Where the window (or the user, last) put the panel: Qt may tell of a
    // move after the window's placing has ended, and only a place that
    // differs from this one is the user's choice.
    QString panelPlace_;
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
    QAction* gridAct_ = nullptr;
    QAction* printAct_ = nullptr;
};
