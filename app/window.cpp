#include "app/window.h"

#include <QSettings>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QKeySequence>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QProgressDialog>
#include <QStringList>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>

#include "batch/batch_plan.h"
#include "batch/batch_threads.h"
#include "mesh/mesh_loader.h"
#include "view/dialog_progress.h"
#include "view/gl_widget.h"
#include "view/qt_dialogs.h"
#include "view/result_panel.h"
#include "view/save_strip.h"
#include "view/status_area.h"

namespace {

// Icons are read from the working directory (images/open.png ...) so that a
// user can replace them; the copies compiled into the program serve when
// that file is missing or unreadable, so menus have icons wherever the
// program starts.
QIcon loadIcon(const QString& relativePath) {
    QPixmap pixmap(relativePath);
    if (pixmap.isNull()) pixmap.load(QStringLiteral(":/") + relativePath);
    return QIcon(pixmap);
}

QString fromEngine(const std::string& text) { return QString::fromLocal8Bit(text.data(), qsizetype(text.size())); }

constexpr int kStartMode = static_cast<int>(kubelmar::VoxelMode::Clipping);
constexpr int kStartSize = 512;

// The local mesh file a drag carries (the first of its URLs), if any.
QString droppedMeshFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls() || mime->urls().isEmpty()) return {};
    const QUrl url = mime->urls().first();
    if (!url.isLocalFile()) return {};
    const QString path = url.toLocalFile();
    for (const std::string& extension : kubelmar::supportedMeshExtensions())
        if (path.endsWith(QString::fromStdString(extension), Qt::CaseInsensitive)) return path;
    return {};
}

// A length in the mesh file's units, short enough for the status bar.
QString lengthText(double value) { return QString::number(value, 'g', 4); }

// The Open dialog's filters: every mesh file first, then one format each.
QString meshFileFilters() {
    static const std::pair<const char*, const char*> kFormats[] = {
        {QT_TRANSLATE_NOOP("Window", "Wavefront OBJ (%1)"), ".obj"},
        {QT_TRANSLATE_NOOP("Window", "STL (%1)"), ".stl"},
        {QT_TRANSLATE_NOOP("Window", "PLY (%1)"), ".ply"},
        {QT_TRANSLATE_NOOP("Window", "glTF (%1)"), ".gltf .glb"},
        {QT_TRANSLATE_NOOP("Window", "3MF (%1)"), ".3mf"},
        {QT_TRANSLATE_NOOP("Window", "OFF (%1)"), ".off"},
    };
    QStringList all;
    for (const std::string& extension : kubelmar::supportedMeshExtensions())
        all << "*" + QString::fromStdString(extension);
    QStringList filters{Window::tr("Mesh Files (%1)").arg(all.join(' '))};
    for (const auto& [name, extensions] : kFormats) {
        QStringList patterns;
        for (const QString& extension : QString::fromLatin1(extensions).split(' '))
            if (all.contains("*" + extension)) patterns << "*" + extension;
        if (!patterns.isEmpty()) filters << Window::tr(name).arg(patterns.join(' '));
    }
    filters << Window::tr("All Files (*)");
    return filters.join(QStringLiteral(";;"));
}

// A load shows its progress dialog only once it has taken this long, so
// that small files open without a flash.
constexpr int kLoadDialogDelayMs = 400;

}  // namespace

Window::Window(Dialogs* dialogs) : dialogs_(dialogs ? dialogs : &QtDialogs::shared()) {
    setWindowTitle(tr("Kubelmar"));

    request_.output.programVersion = KUBELMAR_VERSION;
    request_.keepPreview = true;  // the Result panel shows what a save streamed
    // The depth pictures go to "images" when that folder exists where the
    // program was started, and never into the program's own icons.
    if (QFileInfo(QStringLiteral("images")).isDir() && !QFileInfo::exists(QStringLiteral("images/open.png")))
        request_.settings.depthPictureDirectory = "images";
    // The view under the strip that says what a save will do.
    auto* centre = new QWidget(this);
    auto* centreLayout = new QVBoxLayout(centre);
    centreLayout->setContentsMargins(0, 0, 0, 0);
    centreLayout->setSpacing(0);
    saveStrip_ = new SaveStrip(centre);
    glWidget_ = new GLWidget(centre);
    centreLayout->addWidget(saveStrip_);
    centreLayout->addWidget(glWidget_, 1);
    setCentralWidget(centre);
    connect(glWidget_, &GLWidget::meshLoaded, this, &Window::meshLoaded);
    connect(glWidget_, &GLWidget::glWarnings, this, &Window::showDiagnostics);

    openAct_ = createFileAction("openAct", QStringLiteral("images/open.png"), tr("&Open OBJ file..."),
                                tr("Ctrl+O"), tr("Open an existing OBJ file"));
    connect(openAct_, &QAction::triggered, this, &Window::open);
    // Batch shows the same picture as Open: both start from OBJ files.
    batchAct_ = createFileAction("batchAct", QStringLiteral("images/open.png"),
                                 tr("&Batch process OBJ files..."), tr("Ctrl+B"),
                                 tr("Batch Process a directory of OBJ files"));
    connect(batchAct_, &QAction::triggered, this, &Window::batch);
    saveAct_ = createFileAction("saveAct", QStringLiteral("images/save.png"), tr("&Save Voxels..."),
                                tr("Ctrl+S"), tr("Save voxels to directory"));
    connect(saveAct_, &QAction::triggered, this, &Window::save);

    QMenu* fileMenu = menuBar()->addMenu(tr("&File"));
    fileMenu->addAction(openAct_);
    fileMenu->addAction(batchAct_);
    fileMenu->addAction(saveAct_);
    fileMenu->addSeparator();
    recentMenu_ = fileMenu->addMenu(tr("Open &Recent"));
    recentMenu_->menuAction()->setObjectName(QStringLiteral("recentMenuAct"));
    updateRecentMenu();
    fileMenu->addSeparator();
    QAction* quitAct = fileMenu->addAction(tr("&Quit"), this, &QWidget::close);
    quitAct->setObjectName(QStringLiteral("quitAct"));
    quitAct->setShortcut(QKeySequence::Quit);
    quitAct->setStatusTip(tr("Close the program"));

    depthBufferAct_ = createSettingAction("depthBufferAct", tr("Depth-Buffer Based"));
    depthBufferAct_->setData(static_cast<int>(kubelmar::VoxelMode::DepthBuffer));
    clippingAct_ = createSettingAction("clippingAct", tr("Clipping Based"));
    clippingAct_->setData(static_cast<int>(kubelmar::VoxelMode::Clipping));
    parityAct_ = createSettingAction("parityAct", tr("Parity Based"));
    parityAct_->setData(static_cast<int>(kubelmar::VoxelMode::Parity));
    size64Act_ = createSettingAction("size64Act", tr("64"));
    size128Act_ = createSettingAction("size128Act", tr("128"));
    size256Act_ = createSettingAction("size256Act", tr("256"));
    size512Act_ = createSettingAction("size512Act", tr("512"));
    size1024Act_ = createSettingAction("size1024Act", tr("1024"));
    size2048Act_ = createSettingAction("size2048Act", tr("2048"));
    const QList<QAction*> sizeActions{size64Act_, size128Act_, size256Act_, size512Act_, size1024Act_,
                                      size2048Act_};
    for (int i = 0; i < sizeActions.size(); ++i) sizeActions[i]->setData(64 << i);

    QMenu* settingsMenu = menuBar()->addMenu(tr("&Settings"));
    QMenu* modeMenu = settingsMenu->addMenu(tr("Mode:"));
    modeMenu->addAction(depthBufferAct_);
    modeMenu->addAction(clippingAct_);
    modeMenu->addAction(parityAct_);
    // Next to the mode: the rule the parity mode fills by, remembered.
    QMenu* insideMenu = settingsMenu->addMenu(tr("Inside Rule:"));
    insideParityAct_ = createSettingAction("insideParityAct", tr("Parity (Even-Odd)"));
    insideParityAct_->setData(static_cast<int>(kubelmar::InsideRule::Parity));
    insideParityAct_->setStatusTip(tr("Parity mode: cavities stay empty, overlapping shells cancel out"));
    insideNonZeroAct_ = createSettingAction("insideNonZeroAct", tr("Nonzero (Winding)"));
    insideNonZeroAct_->setData(static_cast<int>(kubelmar::InsideRule::NonZero));
    insideNonZeroAct_->setStatusTip(tr("Parity mode: overlapping closed shells come out solid"));
    insideMenu->addAction(insideParityAct_);
    insideMenu->addAction(insideNonZeroAct_);
    auto* insideGroup = new QActionGroup(this);
    insideGroup->addAction(insideParityAct_);
    insideGroup->addAction(insideNonZeroAct_);
    const bool nonZero = QSettings().value("insideRule", 0).toInt() == static_cast<int>(kubelmar::InsideRule::NonZero);
    (nonZero ? insideNonZeroAct_ : insideParityAct_)->setChecked(true);
    request_.settings.inside = nonZero ? kubelmar::InsideRule::NonZero : kubelmar::InsideRule::Parity;
    connect(insideGroup, &QActionGroup::triggered, this, [this](QAction* action) {
        request_.settings.inside = static_cast<kubelmar::InsideRule>(action->data().toInt());
        QSettings().setValue("insideRule", action->data().toInt());
    });
    QMenu* sizeMenu = settingsMenu->addMenu(tr("Voxel Size:"));
    sizeMenu->addActions(sizeActions);
    createGridAction(settingsMenu);

    // Output formats, remembered between runs; the PNG stack by default.
    QMenu* formatsMenu = settingsMenu->addMenu(tr("Output Formats"));
    const QStringList chosen = QSettings().value("outputFormats", QStringList{"png"}).toStringList();
    const std::pair<kubelmar::OutputFormat, const char*> formatEntries[] = {
        {kubelmar::OutputFormat::Png, QT_TR_NOOP("PNG Stack")},
        {kubelmar::OutputFormat::Binvox, QT_TR_NOOP("binvox (.binvox)")},
        {kubelmar::OutputFormat::Nrrd, QT_TR_NOOP("NRRD (.nrrd)")},
        {kubelmar::OutputFormat::Npy, QT_TR_NOOP("NumPy (.npy)")},
        {kubelmar::OutputFormat::Vox, QT_TR_NOOP("MagicaVoxel (.vox)")},
        {kubelmar::OutputFormat::Vdb, QT_TR_NOOP("OpenVDB (.vdb)")},
    };
    for (const auto& [format, label] : formatEntries) {
        const QString name = QString::fromLatin1(kubelmar::formatName(format));
        if (!kubelmar::parseFormatList(name.toStdString()).ok) continue;  // not in this build
        QAction* action = createSettingAction(qPrintable(name + "FormatAct"), tr(label));
        action->setData(static_cast<int>(format));
        action->setChecked(chosen.contains(name));
        connect(action, &QAction::toggled, this, &Window::formatsChanged);
        formatsMenu->addAction(action);
        formatActs_.append(action);
    }
    formatsChanged();

    fullDepthAct_ = createSettingAction("fullDepthAct", tr("Full Depth Precision"));
    settingsMenu->addAction(fullDepthAct_);
    connect(fullDepthAct_, &QAction::toggled, this, [this](bool on) {
        request_.settings.depthPrecision = on ? kubelmar::DepthPrecision::Full : kubelmar::DepthPrecision::Byte;
    });
    keepThinPartsAct_ = createSettingAction("keepThinPartsAct", tr("Keep Thin Parts"));
    keepThinPartsAct_->setStatusTip(tr("Also set every voxel the surface touches, so thin parts never vanish"));
    settingsMenu->addAction(keepThinPartsAct_);
    createPrintAction(settingsMenu);
    keepThinPartsAct_->setChecked(QSettings().value("keepThinParts", false).toBool());
    request_.settings.conservative = keepThinPartsAct_->isChecked();
    connect(keepThinPartsAct_, &QAction::toggled, this, [this](bool on) {
        request_.settings.conservative = on;
        QSettings().setValue("keepThinParts", on);
    });

    auto* modeGroup = new QActionGroup(this);
    modeGroup->addAction(depthBufferAct_);
    modeGroup->addAction(clippingAct_);
    modeGroup->addAction(parityAct_);
    connect(modeGroup, &QActionGroup::triggered, this, &Window::algorithmEvent);
    auto* sizeGroup = new QActionGroup(this);
    for (QAction* action : sizeActions) sizeGroup->addAction(action);
    connect(sizeGroup, &QActionGroup::triggered, this, &Window::voxelEvent);

    // The mode and size of the last run, clipping at 512 the first time.
    // Checking an action emits no trigger, so the view is set directly.
    const int remembered = QSettings().value("mode", kStartMode).toInt();
    QAction* startModeAct = clippingAct_;
    for (QAction* action : {depthBufferAct_, clippingAct_, parityAct_})
        if (action->data().toInt() == remembered) startModeAct = action;
    startModeAct->setChecked(true);
    request_.settings.mode = *kubelmar::modeFromNumber(startModeAct->data().toInt());
    int startSize = QSettings().value("voxelSize", kStartSize).toInt();
    QAction* startSizeAct = size512Act_;
    for (QAction* action : sizeActions)
        if (action->data().toInt() == startSize) startSizeAct = action;
    startSize = startSizeAct->data().toInt();
    startSizeAct->setChecked(true);
    if (!setVoxelSize(startSize)) {
        size512Act_->setChecked(true);
        setVoxelSize(kStartSize);
    }

    resultPanel_ = new ResultPanel(this);
    addDockWidget(Qt::RightDockWidgetArea, resultPanel_);
    resultPanel_->hide();
    // Where the user puts the panel is where it opens next time.
    connect(resultPanel_, &QDockWidget::dockLocationChanged, this, &Window::resultPanelMoved);
    connect(resultPanel_, &QDockWidget::topLevelChanged, this, &Window::resultPanelMoved);
    createViewMenu();

    status_ = new StatusArea(this);
    setStatusBar(status_);
    status_->setMeshFacts(tr("No mesh loaded"));
    saveStrip_->setLastOutput(QSettings().value("lastOutput").toString());
    updateSaveStrip();
    setAcceptDrops(true);
}

QStringList Window::recentFiles() const { return QSettings().value("recentFiles").toStringList(); }

void Window::rememberRecent(const QString& fileName, bool keep) {
    const QString path = QFileInfo(fileName).absoluteFilePath();
    QStringList files = recentFiles();
    files.removeAll(path);
    if (keep) files.prepend(path);
    while (files.size() > kRecentFiles) files.removeLast();
    QSettings().setValue("recentFiles", files);
    updateRecentMenu();
}

void Window::updateRecentMenu() {
    recentMenu_->clear();
    const QStringList files = recentFiles();
    for (int i = 0; i < files.size(); ++i) {
        // "&1 bunny.obj": the digit is the entry's keyboard accelerator.
        QAction* entry = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(files[i]).fileName()));
        entry->setStatusTip(QDir::toNativeSeparators(files[i]));
        const QString path = files[i];
        connect(entry, &QAction::triggered, this, [this, path] { openFile(path); });
    }
    recentMenu_->addSeparator();
    QAction* clear = recentMenu_->addAction(tr("&Clear Menu"), this, [this] {
        QSettings().remove("recentFiles");
        updateRecentMenu();
    });
    clear->setEnabled(!files.isEmpty());
    recentMenu_->menuAction()->setEnabled(!files.isEmpty());
}

void Window::showDiagnostics(const kubelmar::Diagnostics& diagnostics) {
    std::cout.flush();
    for (const kubelmar::Diagnostic& d : diagnostics)
        std::cerr << (d.severity == kubelmar::Diagnostic::Severity::Error ? "ERROR: " : "WARNING: ") << d.text()
                  << std::endl;
    const QString note = warningNote(diagnostics);
    if (!note.isEmpty()) status_->showNote(note);
}

QString Window::warningNote(const kubelmar::Diagnostics& diagnostics) {
    const std::vector<std::string> warnings = kubelmar::texts(diagnostics, kubelmar::Diagnostic::Severity::Warning);
    if (warnings.empty()) return {};
    QString text = tr("Warning: %1").arg(fromEngine(warnings.front()));
    if (warnings.size() > 1) text += tr(" (and %1 more on the console)").arg(warnings.size() - 1);
    return text;
}

bool Window::setVoxelSize(int n) {
    const std::string why = glWidget_->engine().checkVoxelSize(n);
    if (!why.empty()) {
        const std::string error = "ERROR: " + why + "; keeping " + std::to_string(request_.settings.size);
        std::cout.flush();
        std::cerr << error << std::endl;
        dialogs_->critical(this, tr("Kubelmar"), fromEngine(error));
        return false;
    }
    if (sizeChosen_) {
        // Nothing of size N^3 is held any more; the step still shows that the
        // new size took effect.
        DialogProgress progress(glWidget_);
        kubelmar::ProgressStep step(progress, "Adjusting Voxel Storage...", request_.settings.size);
        step.setValue(0);
    }
    glWidget_->preferSide(n);
    sizeChosen_ = true;
    request_.settings.size = n;
    return true;
}

kubelmar::MeshLoadResult Window::loadWithFeedback(const QString& fileName, const kubelmar::LoadLimits& limits) {
    // A slow load must show that it has started: the note and the wait
    // cursor at once (painted before the reading begins, also where the
    // file dialog was), and a progress dialog once it takes a while.
    const QString loading = tr("Loading %1…").arg(QFileInfo(fileName).fileName());
    status_->showNote(loading);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QProgressDialog dialog(loading, QString(), 0, 1000, this);
    dialog.setWindowModality(Qt::WindowModal);  // no second command while this one runs
    dialog.setMinimumDuration(kLoadDialogDelayMs);
    dialog.setAutoReset(false);
    kubelmar::MeshLoadResult result =
        glWidget_->loadMesh(fileName, limits, [&dialog](std::uint64_t done, std::uint64_t total) {
            // The end is left out: it would show the dialog just to close it.
            if (total == 0 || done >= total) return;
            dialog.setValue(int(done * 1000 / total));
        });
    QApplication::restoreOverrideCursor();
    return result;
}

bool Window::openFile(const QString& fileName) {
    // A mesh may refer to files outside its folder (a glTF buffer, a
    // texture). They are read only when the user said so for this folder;
    // the first time one is refused, the user is asked, once per folder.
    const QString folder = QFileInfo(fileName).absolutePath();
    QSettings settings;
    settings.beginGroup(QStringLiteral("referencesOutside"));
    const QString folderKey = QString::fromLatin1(folder.toUtf8().toBase64(QByteArray::Base64UrlEncoding));
    const QVariant answer = settings.value(folderKey);
    kubelmar::LoadLimits limits;
    limits.anyReference = answer.toBool();
    const QString noteBefore = status_->note();
    kubelmar::MeshLoadResult result = loadWithFeedback(fileName, limits);
    if (!answer.isValid()) {
        const auto outside = std::find_if(result.diagnostics.begin(), result.diagnostics.end(),
                                          [](const kubelmar::Diagnostic& d) { return !d.outsideReference.empty(); });
        if (outside != result.diagnostics.end()) {
            const bool allow = dialogs_->question(
                this, tr("Kubelmar"),
                tr("%1 refers to %2, outside its folder.\n\nRead files outside %3 for meshes in this folder?")
                    .arg(QFileInfo(fileName).fileName(), fromEngine(outside->outsideReference), folder));
            settings.setValue(folderKey, allow);
            if (allow) {
                limits.anyReference = true;
                result = loadWithFeedback(fileName, limits);
            }
        }
    }
    settings.endGroup();
    // A failed load leaves the mesh, and what was said about it, as it was.
    if (!result.ok) noteBefore.isEmpty() ? status_->clearNote() : status_->showNote(noteBefore);
    kubelmar::writeLoadLog(result.log, &std::cout, &std::cerr);
    showDiagnostics(result.diagnostics);
    if (!result.ok) dialogs_->critical(this, tr("Kubelmar"), fromEngine(result.errorText()));
    const bool loaded = result.ok;
    // A file that can no longer be read leaves the list.
    rememberRecent(fileName, loaded);
    if (loaded) QSettings().setValue("openFolder", QFileInfo(fileName).absolutePath());
    return loaded;
}

void Window::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedMeshFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void Window::dropEvent(QDropEvent* event) {
    const QString file = droppedMeshFile(event->mimeData());
    if (file.isEmpty()) return;
    event->acceptProposedAction();
    openFile(file);
}

void Window::createViewMenu() {
    QMenu* viewMenu = menuBar()->addMenu(tr("&View"));
    QAction* shadedAct = viewMenu->addAction(tr("Shaded"));
    shadedAct->setObjectName(QStringLiteral("shadedAct"));
    shadedAct->setCheckable(true);
    shadedAct->setChecked(glWidget_->shaded());
    shadedAct->setStatusTip(tr("Light the mesh from the viewer; off shows its colours flat"));
    connect(shadedAct, &QAction::toggled, glWidget_, &GLWidget::setShaded);
    QAction* fitAct = viewMenu->addAction(tr("Fit"), glWidget_, &GLWidget::fitView);
    fitAct->setObjectName(QStringLiteral("fitAct"));
    fitAct->setShortcut(QKeySequence(tr("Ctrl+0")));
    fitAct->setStatusTip(tr("Show the whole mesh (also a double click on the view)"));
    viewMenu->addSeparator();
    // Not the panel's own toggle, which would show it before the window
    // can make room: shown from the menu, it goes where a save puts it.
    QAction* resultAct = viewMenu->addAction(resultPanel_->windowTitle());
    resultAct->setObjectName(QStringLiteral("resultAct"));
    resultAct->setCheckable(true);
    connect(resultAct, &QAction::triggered, this, [this](bool shown) {
        if (shown) showResultPanel();
        else resultPanel_->hide();
    });
    connect(resultPanel_, &QDockWidget::visibilityChanged, resultAct, [this, resultAct] {
        resultAct->setChecked(resultPanel_->isVisible());
    });
}

QString Window::meshStatus() const { return status_->meshFacts(); }
QString Window::runStatus() const { return status_->note(); }

void Window::updateSaveStrip() {
    if (!saveStrip_) return;  // the menus are still being built
    QString mode;
    for (const QAction* action : {depthBufferAct_, clippingAct_, parityAct_})
        if (action->isChecked()) mode = action->text();
    QStringList formats;
    for (const QAction* action : formatActs_)
        if (action->isChecked()) formats << action->text().section(QStringLiteral(" ("), 0, 0);
    std::string grid = kubelmar::gridSummary(request_.settings.grid, request_.settings.size);
    if (const std::string print = kubelmar::describePrint(request_.settings.print); !print.empty())
        grid += " · " + print;
    saveStrip_->setPlan(mode, QString::fromStdString(grid), formats);
}

void Window::meshLoaded(const QString& fileName) {
    const QFileInfo file(fileName);
    setWindowTitle(tr("%1 - Kubelmar").arg(file.fileName()));
    const kubelmar::Mesh& mesh = glWidget_->engine().mesh();
    const kubelmar::VolumeInfo box = glWidget_->engine().volumeInfo(request_.settings);
    // What was said about the previous mesh (its save above all) is not
    // about this one.
    status_->clearNote();
    status_->setMeshFacts(tr("%1: %2 triangles, %3 vertices, %4 x %5 x %6 units")
                             .arg(file.fileName())
                             .arg(mesh.faceCount)
                             .arg(mesh.vertexCount)
                             .arg(lengthText(box.meshHigh[0] - box.meshLow[0]))
                             .arg(lengthText(box.meshHigh[1] - box.meshLow[1]))
                             .arg(lengthText(box.meshHigh[2] - box.meshLow[2])));
    // The panel showed another mesh's voxels.
    resultPanel_->clear();
}

Window::~Window() {
    if (shownOnce_) rememberResultPanel(false);
}

QAction* Window::createFileAction(const char* name, const QString& iconPath, const QString& text,
                                  const QString& shortcut, const QString& statusTip) {
    auto* action = new QAction(loadIcon(iconPath), text, this);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(QKeySequence(shortcut));
    action->setStatusTip(statusTip);
    return action;
}

QAction* Window::createSettingAction(const char* name, const QString& text) {
    auto* action = new QAction(text, this);
    action->setObjectName(QLatin1String(name));
    action->setCheckable(true);
    return action;
}

void Window::open() {
    // The menu keeps its "OBJ" name; the dialog says what it really opens.
    objFileName_ = dialogs_->openFileName(this, tr("Open Mesh File (OBJ, STL, PLY, glTF, 3MF, OFF)"), meshFileFilters(),
                                          QSettings().value("openFolder").toString());
    if (objFileName_.isEmpty()) return;
    openFile(objFileName_);
}

void Window::batch() {
    const QString directory = dialogs_->existingDirectory(this, tr("Select Directory to BATCH Process."),
                                                          QSettings().value("batchFolder").toString());
    if (directory.isEmpty()) return;
    QSettings().setValue("batchFolder", directory);
    const auto start = std::chrono::steady_clock::now();
    kubelmar::BatchRequest listing;
    listing.directory = directory.toStdString();
    const kubelmar::BatchPlan plan = kubelmar::planBatch(listing);
    if (!plan.ok) {
        dialogs_->critical(this, tr("Kubelmar"), fromEngine("ERROR: Can't list directory " + plan.error));
        return;
    }
    std::vector<kubelmar::RunReport> reports = plan.unreadable;
    bool cancelled = false;
    // One worker on the view's context, the meshes in the listing's order.
    class ViewWorker final : public kubelmar::BatchWorker {
    public:
        ViewWorker(Window& window, const kubelmar::BatchPlan& plan, bool& cancelled)
            : window_(window), plan_(plan), cancelled_(cancelled) {}
        kubelmar::RunReport run(const kubelmar::MeshJob& job) override {
            kubelmar::RunReport report;
            report.job = job;
            if (cancelled_) {  // after a cancel every file left ends at once, with nothing written
                report.status = kubelmar::RunReport::Status::Cancelled;
                return report;
            }
            const auto at = std::find_if(plan_.items.begin(), plan_.items.end(),
                                         [&](const kubelmar::MeshJob& j) { return j.meshPath == job.meshPath; });
            const QString prefix = Window::tr("%1 (%2 of %3): ")
                                       .arg(QFileInfo(fromEngine(job.meshPath)).fileName())
                                       .arg(int(at - plan_.items.begin()) + 1)
                                       .arg(plan_.items.size());
            report = window_.glWidget_->runOnContext(
                [&](kubelmar::Engine& engine, kubelmar::Progress& progress) {
                    kubelmar::RunRequest request = window_.request_;
                    request.keepPreview = false;
                    return kubelmar::runMesh(engine, request, job, progress);
                },
                prefix);
            cancelled_ = report.status == kubelmar::RunReport::Status::Cancelled;
            return report;
        }

    private:
        Window& window_;
        const kubelmar::BatchPlan& plan_;
        bool& cancelled_;
    };
    const std::vector<kubelmar::RunReport> ran = kubelmar::runBatchInThreads(
        plan.items, 1, [&](std::string*) { return std::make_unique<ViewWorker>(*this, plan, cancelled); },
        [&](const kubelmar::RunReport& report) {
            showDiagnostics(report.diagnostics);
            if (report.done()) std::cout << "Voxelized: " << report.job.meshPath << " -> " << report.job.outputDirectory << std::endl;
        });
    reports.insert(reports.end(), ran.begin(), ran.end());
    const double seconds = kubelmar::secondsSince(start);
    int done = 0;
    QStringList failures;
    for (const kubelmar::RunReport& report : reports) {
        done += report.done();
        if (report.status == kubelmar::RunReport::Status::Failed) failures << fromEngine(report.errorText());
    }
    std::cout << "Batch: " << done << " done, " << failures.size() << " failed" << std::endl;
    if (cancelled) {
        // The files after the cancel ended only because of it: no list.
        status_->showNote(tr("Batch cancelled after %1 s: %2 done, the file in progress not written")
                                .arg(seconds, 0, 'f', 1)
                                .arg(done));
        return;
    }
    QString text = tr("Batch: %1 done in %2 s").arg(done).arg(seconds, 0, 'f', 1);
    if (!failures.empty()) text += tr(", %1 failed").arg(failures.size());
    status_->showNote(text);
    if (done > 0) {
        // Each mesh's folder lies beside it: the batch folder holds them all.
        QSettings().setValue("lastOutput", directory);
        saveStrip_->setLastOutput(directory);
    }
    // All files done: the command ends quietly, as a save does.
    if (failures.empty()) return;
    const int total = done + int(failures.size());
    dialogs_->warning(this, tr("Kubelmar"),
                      tr("%1 of %2 mesh files could not be voxelized:\n%3")
                          .arg(failures.size())
                          .arg(total)
                          .arg(failures.join(QLatin1Char('\n'))));
}

void Window::save() {
    if (!glWidget_->engine().checkMeshLoaded()) {
        dialogs_->critical(glWidget_, QCoreApplication::translate("GLWidget", "Kubelmar"),
                           QCoreApplication::translate("GLWidget", "ERROR: No OBJ file is loaded!!!\n"));
        return;
    }
    saveDirectory_ = dialogs_->existingDirectory(this, tr("Select Directory."),
                                                 QSettings().value("saveFolder").toString());
    if (saveDirectory_.isEmpty()) return;
    QSettings().setValue("saveFolder", saveDirectory_);
    const std::string directory = QFile::encodeName(saveDirectory_).toStdString();
    const auto start = std::chrono::steady_clock::now();
    // Each step's dialog names the mesh before the step ("bunny.obj: ...").
    const QString meshName = QFileInfo(fromEngine(glWidget_->engine().meshPath())).fileName();
    kubelmar::RunReport report = glWidget_->runOnContext(
        [&](kubelmar::Engine& engine, kubelmar::Progress& progress) {
            kubelmar::RunReport run;
            run.job = {engine.meshPath(), engine.meshPath(), directory};
            kubelmar::voxelizeLoaded(engine, request_, run, progress);
            return run;
        },
        tr("%1: ").arg(meshName));
    report.seconds = kubelmar::secondsSince(start);
    const QString seconds = QString::number(report.seconds, 'f', 1);
    const char* mode = kubelmar::modeName(request_.settings.mode);
    if (report.status == kubelmar::RunReport::Status::Cancelled) {
        std::printf("Voxelization into %s cancelled after %.2f s; nothing was written\n", directory.c_str(),
                    report.seconds);
        std::fflush(stdout);
        status_->showNote(tr("Save cancelled after %1 s; nothing was written").arg(seconds));
        return;
    }
    showDiagnostics(report.diagnostics);
    std::printf("Voxelized into %s%s: mode %s, size %d, %d files, %.2f s\n", directory.c_str(),
                report.done() ? "" : " failed", mode, report.size, report.filesWritten, report.seconds);
    std::fflush(stdout);
    if (!report.done()) {
        status_->showNote(tr("Save failed after %1 s").arg(seconds));
        dialogs_->critical(this, tr("Kubelmar"), fromEngine("ERROR: " + report.errorText()));
        return;
    }
    QString saved = tr("Saved %1 files to %2 in %3 s")
                        .arg(report.filesWritten)
                        .arg(QDir::toNativeSeparators(saveDirectory_))
                        .arg(seconds);
    // One note for the save: its warning first (shortening cuts the end),
    // then what it wrote.
    const QString warned = warningNote(report.diagnostics);
    status_->showNote(warned.isEmpty() ? saved : tr("%1 — %2").arg(warned, saved));
    QSettings().setValue("lastOutput", saveDirectory_);
    saveStrip_->setLastOutput(saveDirectory_);
    resultPanel_->showVolume(report.preview, saveDirectory_);
    resultPanel_->showTopology(report.topology);
    showResultPanel();
}

void Window::formatsChanged() {
    std::vector<kubelmar::OutputFormat> formats;
    QStringList names;
    for (const QAction* action : formatActs_) {
        if (!action->isChecked()) continue;
        const auto format = static_cast<kubelmar::OutputFormat>(action->data().toInt());
        formats.push_back(format);
        names << QString::fromLatin1(kubelmar::formatName(format));
    }
    request_.output.formats = formats;
    QSettings().setValue("outputFormats", names);
    updateSaveStrip();
}

void Window::algorithmEvent(QAction* action) {
    request_.settings.mode = *kubelmar::modeFromNumber(action->data().toInt());
    QSettings().setValue("mode", static_cast<int>(request_.settings.mode));
    updateSaveStrip();
}

void Window::voxelEvent(QAction* action) {
    if (setVoxelSize(action->data().toInt())) {
        QSettings().setValue("voxelSize", request_.settings.size);
        updateSaveStrip();
        return;
    }
    // The size was refused and the old one stays: so does its check mark.
    for (QAction* sizeAction : {size64Act_, size128Act_, size256Act_, size512Act_, size1024Act_, size2048Act_})
        if (sizeAction->data().toInt() == request_.settings.size) sizeAction->setChecked(true);
}
