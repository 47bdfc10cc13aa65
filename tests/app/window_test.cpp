// The main window: menus and settings, and the three file commands with the
// dialogs answered by FakeDialogs, on a real GL context.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QProgressDialog>
#include <QScrollArea>
#include <QRegularExpression>
#include <QSettings>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <memory>

#include "app/window.h"
#include "tests/support/fake_dialogs.h"
#include "view/gl_widget.h"
#include "view/grid_dialog.h"
#include "view/print_dialog.h"
#include "view/save_strip.h"
#include "view/result_panel.h"
#include "formats/png_io.h"

namespace {

const QString kBunny = QStringLiteral(KUBELMAR_SAMPLES_DIR "/bunny.obj");
const QByteArray kTetrahedron = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n";

QStringList texts(const QList<QAction*>& actions) {
    QStringList result;
    for (const QAction* action : actions) result << action->text();
    return result;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList filesIn(const QString& directory) { return QDir(directory).entryList(QDir::Files, QDir::Name); }

// A PNG's size and decoded pixels; any other file's bytes. Empty if unreadable.
QByteArray contentOf(const QString& path) {
    if (!path.endsWith(QLatin1String(".png"))) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    int w = 0, h = 0;
    std::vector<std::uint8_t> rgba;
    if (!kubelmar::readPngRGBA(path.toStdString(), w, h, rgba, nullptr)) return {};
    return QByteArray::number(w) + 'x' + QByteArray::number(h) +
           QByteArray(reinterpret_cast<const char*>(rgba.data()), qsizetype(rgba.size()));
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        dialogs_ = FakeDialogs();
        // Every test starts from the defaults.
        for (const char* key : {"outputFormats", "mode", "voxelSize", "recentFiles", "openFolder", "saveFolder",
                                "batchFolder", "referencesOutside", "insideRule", "keepThinParts", "grid", "print"})
            QSettings().remove(key);
        window_ = std::make_unique<Window>(&dialogs_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanup() {
        window_.reset();
    }

    void menusAndStartState() {
        const QList<QAction*> menus = window_->menuBar()->actions();
        QCOMPARE(texts(menus), QStringList({"&File", "&Settings", "&View"}));
        const QList<QAction*> file = menus[0]->menu()->actions();
        QCOMPARE(texts(file), QStringList({"&Open OBJ file...", "&Batch process OBJ files...", "&Save Voxels...", "",
                                           "Open &Recent", "", "&Quit"}));
        QVERIFY(file[3]->isSeparator() && file[5]->isSeparator());
        QVERIFY(!file[4]->isEnabled());  // nothing opened yet
        QCOMPARE(file[6]->shortcut(), QKeySequence(QKeySequence::Quit));
        QCOMPARE(file[0]->shortcut(), QKeySequence("Ctrl+O"));
        QCOMPARE(file[1]->shortcut(), QKeySequence("Ctrl+B"));
        QCOMPARE(file[2]->shortcut(), QKeySequence("Ctrl+S"));
        QCOMPARE(file[0]->statusTip(), QString("Open an existing OBJ file"));
        QCOMPARE(file[1]->statusTip(), QString("Batch Process a directory of OBJ files"));
        QCOMPARE(file[2]->statusTip(), QString("Save voxels to directory"));
        // The working directory has no images/: these icons are compiled in.
        const QImage openIcon = file[0]->icon().pixmap(32).toImage();
        QVERIFY(!openIcon.isNull());
        QCOMPARE(file[1]->icon().pixmap(32).toImage(), openIcon);
        QVERIFY(!file[2]->icon().isNull() && file[2]->icon().pixmap(32).toImage() != openIcon);

        const QList<QAction*> settings = menus[1]->menu()->actions();
        QCOMPARE(texts(settings), QStringList({"Mode:", "Inside Rule:", "Voxel Size:", "Grid...", "Output Formats",
                                               "Full Depth Precision", "Keep Thin Parts", "Print..."}));
        QVERIFY(!settings[5]->isChecked());
        QVERIFY(!settings[6]->isChecked());
        QCOMPARE(texts(settings[1]->menu()->actions()), QStringList({"Parity (Even-Odd)", "Nonzero (Winding)"}));
        QVERIFY(settings[1]->menu()->actions()[0]->isChecked());
        const QList<QAction*> formats = settings[4]->menu()->actions();
        QVERIFY(formats.size() >= 5);
        QCOMPARE(formats[0]->text(), QString("PNG Stack"));
        for (const QAction* format : formats) QCOMPARE(format->isChecked(), format == formats[0]);
        const QList<QAction*> modes = settings[0]->menu()->actions(), sizes = settings[2]->menu()->actions();

        QCOMPARE(texts(modes), QStringList({"Depth-Buffer Based", "Clipping Based", "Parity Based"}));
        QCOMPARE(texts(sizes), QStringList({"64", "128", "256", "512", "1024", "2048"}));
        QStringList checked;
        for (const QAction* action : modes + sizes) {
            QVERIFY(action->isCheckable());
            if (action->isChecked()) checked << action->text();
        }
        QCOMPARE(checked, QStringList({"Clipping Based", "512"}));
        QCOMPARE(window_->runRequest().settings.mode, kubelmar::VoxelMode::Clipping);
        QCOMPARE(window_->runRequest().settings.size, 512);
        QCOMPARE(window_->view()->size(), QSize(512, 512));

        const QList<QAction*> view = menus[2]->menu()->actions();
        QCOMPARE(texts(view), QStringList({"Shaded", "Fit", "", "Result"}));
        QVERIFY(view[0]->isCheckable() && view[0]->isChecked());
        QCOMPARE(window_->windowTitle(), QString("Kubelmar"));
        QCOMPARE(window_->meshStatus(), QString("No mesh loaded"));
        QVERIFY(!window_->resultPanel()->isVisible());
    }

    void viewMenuAndQuit() {
        GLWidget* view = window_->view();
        action("shadedAct")->trigger();
        QVERIFY(!view->shaded());
        action("shadedAct")->trigger();
        QVERIFY(view->shaded());
        view->zoomBy(3.0f);
        action("fitAct")->trigger();
        QCOMPARE(view->zoom(), 1.0f);
        action("quitAct")->trigger();
        QVERIFY(!window_->isVisible());
    }

    void modeAndSizeAreRemembered() {
        action("depthBufferAct")->trigger();
        action("size128Act")->trigger();
        window_ = std::make_unique<Window>(&dialogs_);
        QVERIFY(action("depthBufferAct")->isChecked() && action("size128Act")->isChecked());
        QCOMPARE(window_->runRequest().settings.mode, kubelmar::VoxelMode::DepthBuffer);
        QCOMPARE(window_->runRequest().settings.size, 128);
        // The view opens at the size the remembered N asks for; later
        // sizes leave it alone.
        QCOMPARE(window_->view()->sizeHint(), QSize(128, 128));
        action("size1024Act")->trigger();
        QCOMPARE(window_->view()->sizeHint(), QSize(128, 128));
    }

    void insideRuleAndThinPartsAreRemembered() {
        QCOMPARE(window_->runRequest().settings.inside, kubelmar::InsideRule::Parity);
        QVERIFY(!window_->runRequest().settings.conservative);
        action("insideNonZeroAct")->trigger();
        action("keepThinPartsAct")->trigger();
        QCOMPARE(window_->runRequest().settings.inside, kubelmar::InsideRule::NonZero);
        QVERIFY(window_->runRequest().settings.conservative);
        window_ = std::make_unique<Window>(&dialogs_);
        QVERIFY(action("insideNonZeroAct")->isChecked() && !action("insideParityAct")->isChecked());
        QVERIFY(action("keepThinPartsAct")->isChecked());
        QCOMPARE(window_->runRequest().settings.inside, kubelmar::InsideRule::NonZero);
        QVERIFY(window_->runRequest().settings.conservative);
    }

    // Settings > Grid...: what the dialog hands back becomes the run's grid,
    // is remembered, shows in the save plan, and opens the dialog next time.
    void gridDialogResultIsTheRunsGridAndIsRemembered() {
        QCOMPARE(window_->runRequest().settings.grid.shape, kubelmar::GridShape::Cube);
        kubelmar::GridOptions printer;
        printer.units = "mm";
        printer.dpi = "600,300";
        printer.layer = "0.027mm";
        dialogs_.grid = printer;
        action("gridAct")->trigger();
        const kubelmar::GridSettings& grid = window_->runRequest().settings.grid;
        QCOMPARE(grid.shape, kubelmar::GridShape::Box);
        QCOMPARE(grid.edge[2], 0.027);
        QVERIFY(grid.stack && grid.stack->slice.axis == 2);
        QVERIFY(window_->saveStrip()->planText().contains("Grid: box, 0.04233 x 0.08467 x 0.027 mm voxels"));

        window_ = std::make_unique<Window>(&dialogs_);
        QCOMPARE(window_->runRequest().settings.grid.edge[1], 25.4 / 300);
        dialogs_.grid.reset();  // cancelled: nothing changes
        action("gridAct")->trigger();
        QCOMPARE(dialogs_.gridShown.dpi, std::string("600,300"));
        QCOMPARE(dialogs_.gridShown.layer, std::string("0.027mm"));
        QCOMPARE(window_->runRequest().settings.grid.shape, kubelmar::GridShape::Box);

        kubelmar::GridOptions bad;
        bad.voxelSize = "-1";
        dialogs_.grid = bad;
        action("gridAct")->trigger();
        QCOMPARE(dialogs_.messages.size(), 1);
        QVERIFY(dialogs_.messages[0].text.contains("--voxel-size"));
        QCOMPARE(window_->runRequest().settings.grid.edge[2], 0.027);
        QCOMPARE(QSettings().value("grid/dpi").toString(), QString("600,300"));
    }

    // Settings > Print...: what the dialog hands back becomes the run's print
    // settings and is remembered; a palette that won't load changes nothing.
    void printDialogResultIsTheRunsPrintSettingsAndIsRemembered() {
        QVERIFY(!window_->runRequest().settings.print.active());
        kubelmar::PrintOptions print;
        print.palette = "cmyk";
        print.dither = "blue-noise";
        print.colourDepth = "6";
        print.coreColour = "clear";
        dialogs_.print = print;
        action("printAct")->trigger();
        const kubelmar::PrintSettings& set = window_->runRequest().settings.print;
        QCOMPARE(set.palette.materials.size(), std::size_t(6));
        QCOMPARE(set.dither, kubelmar::DitherMode::BlueNoise);
        QCOMPARE(*set.colourDepth, 6.0);
        QVERIFY(window_->saveStrip()->planText().contains("Print: cmyk, blue-noise, colour depth 6, core clear"));

        window_ = std::make_unique<Window>(&dialogs_);
        QCOMPARE(window_->runRequest().settings.print.dither, kubelmar::DitherMode::BlueNoise);
        dialogs_.print.reset();  // cancelled: nothing changes
        action("printAct")->trigger();
        QCOMPARE(dialogs_.printShown.coreColour, std::string("clear"));

        kubelmar::PrintOptions bad;
        bad.palette = "/nonexistent/inks.json";
        dialogs_.print = bad;
        action("printAct")->trigger();
        QCOMPARE(dialogs_.messages.size(), 1);
        QVERIFY(dialogs_.messages[0].text.contains("/nonexistent/inks.json"));
        QCOMPARE(window_->runRequest().settings.print.dither, kubelmar::DitherMode::BlueNoise);
        QCOMPARE(QSettings().value("print/palette").toString(), QString("cmyk"));
    }

    // The print dialog refuses OK with the reason while its fields don't resolve.
    void printDialogNamesTheProblem() {
        PrintDialog dialog;
        kubelmar::PrintOptions o;
        o.dither = "diffusion";
        dialog.setOptions(o);
        QVERIFY(dialog.problem().contains("--dither"));
        o.palette = "rgb";
        o.coreColour = "clear";
        dialog.setOptions(o);
        QVERIFY(dialog.problem().contains("no clear material"));
        o.coreColour = "";
        dialog.setOptions(o);
        QVERIFY(dialog.problem().isEmpty());
        QCOMPARE(dialog.options().palette, std::string("rgb"));
        QCOMPARE(dialog.options().dither, std::string("diffusion"));
    }

    // The dialog's fields round-trip, a preset fills them, and OK is refused
    // with the reason while they don't resolve.
    void gridDialogFieldsPresetsAndRefusal() {
        GridDialog dialog;
        kubelmar::GridOptions o;
        o.grid = "box";
        o.voxelSize = "1,2,3";
        o.units = "in";
        o.scale = "2";
        o.sliceAxis = "x";
        dialog.setOptions(o);
        const kubelmar::GridOptions back = dialog.options();
        QCOMPARE(back.voxelSize, o.voxelSize);
        QCOMPARE(back.units, o.units);
        QCOMPARE(back.scale, o.scale);
        QCOMPARE(back.sliceAxis, o.sliceAxis);
        QCOMPARE(back.grid, o.grid);
        QVERIFY(dialog.problem().isEmpty());

        auto* preset = dialog.findChildren<QComboBox*>().first();
        preset->setCurrentIndex(preset->findData("voxel-print-600x600"));
        emit preset->activated(preset->currentIndex());
        QCOMPARE(dialog.options().dpi, std::string("600,600"));
        QCOMPARE(dialog.options().preset, std::string("voxel-print-600x600"));

        dialog.findChildren<QLineEdit*>()[3]->setText("0");  // the layer
        dialog.show();
        dialog.accept();
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.findChild<QLabel*>("gridProblem")->text().contains("--layer"));
    }

    void titleStatusAndResultFollowTheMeshAndTheSave() {
        action("size64Act")->trigger();
        QTemporaryDir out;
        dialogs_.answers = {kBunny, out.path(), QString(KUBELMAR_SAMPLES_DIR "/teapot.obj")};
        action("openAct")->trigger();
        QCOMPARE(window_->windowTitle(), QString("bunny.obj - Kubelmar"));
        const kubelmar::Mesh& mesh = window_->view()->engine().mesh();
        QVERIFY2(window_->meshStatus().startsWith(
                     QString("bunny.obj: %1 triangles, 1839 vertices, ").arg(mesh.faceCount)),
                 qPrintable(window_->meshStatus()));

        action("saveAct")->trigger();
        QVERIFY(dialogs_.messages.isEmpty());
        const QRegularExpression saved("^Saved 66 files to (.+) in \\d+\\.\\d s$");
        const QRegularExpressionMatch match = saved.match(window_->runStatus());
        QVERIFY2(match.hasMatch(), qPrintable(window_->runStatus()));
        QCOMPARE(QDir::fromNativeSeparators(match.captured(1)), out.path());

        // The slider walks the slices that were written, pixel for pixel.
        ResultPanel* panel = window_->resultPanel();
        QVERIFY(panel->isVisible() && panel->hasVolume());
        auto* slider = panel->findChild<QSlider*>("sliceSlider");
        QVERIFY(slider);
        QCOMPARE(slider->maximum(), 63);
        QVERIFY2(panel->topologyText().startsWith("Mesh: "), qPrintable(panel->topologyText()));
        for (int s : {0, 20, 41, 63}) {
            slider->setValue(s);
            QCOMPARE(panel->currentSlice(), s);
            const QString name = QString("slice%1.png").arg(100000 + s);
            QCOMPARE(panel->sliceText(), QString("Slice %1 of 64: %2").arg(s + 1).arg(name));
            const QByteArray written = contentOf(out.filePath(name));
            const QImage shown = panel->sliceImage().convertToFormat(QImage::Format_RGBA8888);
            const QByteArray pixels = "64x64" + QByteArray(reinterpret_cast<const char*>(shown.constBits()),
                                                           qsizetype(shown.sizeInBytes()));
            QVERIFY2(pixels == written, qPrintable(name));
        }
        panel->setFitted(false);
        QCOMPARE(panel->findChild<QScrollArea*>()->widget()->size(), QSize(64, 64));

        // Another mesh: its own title; the old voxels are no longer shown.
        action("openAct")->trigger();
        QCOMPARE(window_->windowTitle(), QString("teapot.obj - Kubelmar"));
        QVERIFY(!panel->hasVolume());
        QVERIFY(panel->sliceImage().isNull());
    }

    void recentFilesFoldersAndDrops() {
        const QString teapot = QStringLiteral(KUBELMAR_SAMPLES_DIR "/teapot.obj");
        dialogs_.answers = {kBunny};
        action("openAct")->trigger();
        QCOMPARE(window_->recentFiles(), QStringList({kBunny}));

        // A dropped mesh file opens; anything else is refused.
        QVERIFY(!drop(QUrl::fromLocalFile(KUBELMAR_SAMPLES_DIR "/README.md")));
        QVERIFY(drop(QUrl::fromLocalFile(teapot)));
        QCOMPARE(window_->windowTitle(), QString("teapot.obj - Kubelmar"));
        QCOMPARE(window_->recentFiles(), QStringList({teapot, kBunny}));

        // The menu lists them, newest first; an entry opens its file.
        QMenu* recent = action("recentMenuAct")->menu();
        QVERIFY(action("recentMenuAct")->isEnabled());
        QCOMPARE(texts(recent->actions()), QStringList({"&1 teapot.obj", "&2 bunny.obj", "", "&Clear Menu"}));
        recent->actions()[1]->trigger();
        QCOMPARE(window_->windowTitle(), QString("bunny.obj - Kubelmar"));
        QCOMPARE(window_->recentFiles(), QStringList({kBunny, teapot}));

        // At most eight; one that can't be read any more leaves the list.
        QTemporaryDir dir;
        for (int i = 0; i < 9; ++i) {
            const QString path = dir.filePath(QString("t%1.obj").arg(i));
            QVERIFY(writeFile(path, kTetrahedron) && window_->openFile(path));
        }
        QCOMPARE(window_->recentFiles().size(), Window::kRecentFiles);
        QCOMPARE(window_->recentFiles().first(), dir.filePath("t8.obj"));
        QVERIFY(QFile::remove(dir.filePath("t8.obj")));
        recent->actions()[0]->trigger();
        QCOMPARE(dialogs_.messages.size(), 1);
        QVERIFY(!window_->recentFiles().contains(dir.filePath("t8.obj")));
        recent->actions().last()->trigger();  // Clear Menu
        QVERIFY(window_->recentFiles().isEmpty());

        // Each dialog starts where its last answer was.
        action("size64Act")->trigger();
        QTemporaryDir out;
        dialogs_.answers = {out.path(), out.path(), teapot};
        action("saveAct")->trigger();
        action("saveAct")->trigger();
        action("openAct")->trigger();
        // The first open and save start nowhere in particular.
        QCOMPARE(dialogs_.starts, QStringList({"", "", out.path(), dir.path()}));
    }

    void cancelMidSaveLeavesTheFolderAsItWas() {
        action("size128Act")->trigger();
        QTemporaryDir out;
        QVERIFY(writeFile(out.filePath("notes.txt"), "mine"));
        dialogs_.answers = {kBunny, out.path()};
        action("openAct")->trigger();
        // Cancel as soon as a progress dialog has made some progress.
        QTimer watch;
        int cancels = 0;
        connect(&watch, &QTimer::timeout, [&cancels] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QProgressDialog*>(widget);
                    dialog && dialog->isVisible() && dialog->value() > 2 && cancels == 0) {
                    ++cancels;
                    auto* button = dialog->findChild<QPushButton*>();
                    QVERIFY(button && button->text() == "Cancel");
                    button->click();
                }
        });
        watch.start(0);
        action("saveAct")->trigger();
        watch.stop();
        QCOMPARE(cancels, 1);
        QVERIFY(dialogs_.messages.isEmpty());
        QVERIFY2(window_->runStatus().startsWith("Save cancelled after ") &&
                     window_->runStatus().endsWith("; nothing was written"),
                 qPrintable(window_->runStatus()));
        // No slice, no volume.json, no hidden stage folder: only the user's file.
        QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({"notes.txt"}));
        QVERIFY(!window_->resultPanel()->hasVolume());

        // The next save runs whole again.
        dialogs_.answers = {out.path()};
        action("saveAct")->trigger();
        QCOMPARE(filesIn(out.path()).size(), 128 + 3);  // + voxelscale.txt, volume.json, notes.txt
    }

    void helpAndVersionAnswerWithoutAWindow() {
        for (const char* option : {"--help", "--version"}) {
            QProcess process;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.remove("DISPLAY");  // no window could be opened
            process.setProcessEnvironment(environment);
            process.start(KUBELMAR_DESKTOP, {option});
            QVERIFY(process.waitForFinished(10000));
            QCOMPARE(process.exitCode(), 0);
            const QByteArray out = process.readAllStandardOutput();
            QVERIFY2(out.startsWith(option == QLatin1String("--help") ? "Usage: kubelmar" : "kubelmar "),
                     out.constData());
        }
    }

    void settingsDriveTheView() {
        GLWidget* view = window_->view();
        action("depthBufferAct")->trigger();
        QCOMPARE(window_->runRequest().settings.mode, kubelmar::VoxelMode::DepthBuffer);
        QVERIFY(!action("clippingAct")->isChecked());
        action("parityAct")->trigger();
        QCOMPARE(window_->runRequest().settings.mode, kubelmar::VoxelMode::Parity);
        QVERIFY(!action("depthBufferAct")->isChecked());
        action("clippingAct")->trigger();
        QCOMPARE(window_->runRequest().settings.mode, kubelmar::VoxelMode::Clipping);

        action("size64Act")->trigger();
        QCOMPARE(window_->runRequest().settings.size, 64);
        QVERIFY(!action("size512Act")->isChecked());
        // Voxelization renders off screen: the view keeps the user's size.
        action("size2048Act")->trigger();
        QCOMPARE(window_->runRequest().settings.size, 2048);
        QCOMPARE(view->size(), QSize(512, 512));
        QVERIFY(dialogs_.messages.isEmpty());
    }

    // The parity mode's open-mesh warning comes from inside the engine; a
    // desktop user sees it in the status bar after the save.
    void anEngineWarningReachesTheStatusBar() {
        QTemporaryDir dir;
        const QString mesh = dir.filePath("open.obj");
        QVERIFY(writeFile(mesh, "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n"
                                "f 1 3 2\nf 1 4 3\nf 1 2 6\nf 1 6 5\nf 2 3 7\nf 2 7 6\n"
                                "f 3 4 8\nf 3 8 7\nf 4 1 5\nf 4 5 8\n"));  // no top: four open edges
        QVERIFY(window_->openFile(mesh));
        action("parityAct")->trigger();
        action("size64Act")->trigger();
        dialogs_.answers = {dir.filePath("out")};
        action("saveAct")->trigger();
        QVERIFY(dialogs_.messages.isEmpty());
        const QString shown = window_->statusBar()->currentMessage();
        QVERIFY2(shown.contains("open.obj: 4 boundary edges: the mesh is not closed"), qPrintable(shown));
    }

    // A mesh that refers to a file outside its folder: the user is asked
    // once for that folder, and the answer holds for the next mesh there.
    void referencesOutsideTheFolderAreReadOnlyWhenAllowed() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        QVERIFY(writeFile(dir.filePath("shared.mtl"), "newmtl red\nKd 1 0 0\n"));
        const QByteArray obj = "mtllib ../shared.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl red\nf 1 2 3\n";
        QVERIFY(writeFile(dir.filePath("sub/a.obj"), obj) && writeFile(dir.filePath("sub/b.obj"), obj));
        const kubelmar::Mesh& mesh = window_->view()->engine().mesh();

        dialogs_.yes = {false};
        QVERIFY(window_->openFile(dir.filePath("sub/a.obj")));
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].kind, QString("question"));
        QVERIFY2(dialogs_.messages[0].text.contains("a.obj refers to ../shared.mtl, outside its folder"),
                 qPrintable(dialogs_.messages[0].text));
        QVERIFY(mesh.materials.empty());  // refused: the material library was not read
        QVERIFY(window_->openFile(dir.filePath("sub/b.obj")));
        QCOMPARE(dialogs_.messages.size(), 1);  // the folder's answer stands
        QVERIFY(mesh.materials.empty());

        QSettings().remove("referencesOutside");
        dialogs_.yes = {true};
        QVERIFY(window_->openFile(dir.filePath("sub/a.obj")));
        QCOMPARE(dialogs_.messages.size(), 2);
        QCOMPARE(mesh.materials.size(), 1u);
        QVERIFY(window_->openFile(dir.filePath("sub/b.obj")));
        QCOMPARE(dialogs_.messages.size(), 2);
        QCOMPARE(mesh.materials.size(), 1u);
    }

    void openAndSaveReportWhatWentWrong() {
        action("saveAct")->trigger();  // no mesh: the box and no dialog
        QCOMPARE(dialogs_.captions, QStringList());
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].kind + dialogs_.messages[0].title, QString("criticalKubelmar"));
        QCOMPARE(dialogs_.messages[0].text, QString("ERROR: No OBJ file is loaded!!!\n"));

        const kubelmar::Mesh& mesh = window_->view()->engine().mesh();
        QTemporaryDir dir;
        dialogs_.answers = {kBunny, dir.filePath("missing.obj"), "", dir.filePath("gone")};
        action("openAct")->trigger();
        QCOMPARE(dialogs_.filters.size(), 1);
        QVERIFY(dialogs_.filters[0].startsWith("Mesh Files (*.obj ") && dialogs_.filters[0].contains("*.stl"));
        QCOMPARE(mesh.vertexCount, 1839);
        action("openAct")->trigger();  // a file that isn't there: named, the mesh stays
        QCOMPARE(dialogs_.messages.size(), 2);
        QVERIFY2(dialogs_.messages[1].text.contains(dir.filePath("missing.obj")), qPrintable(dialogs_.messages[1].text));
        QCOMPARE(mesh.vertexCount, 1839);
        action("openAct")->trigger();  // cancelled
        QCOMPARE(mesh.vertexCount, 1839);

        action("size64Act")->trigger();
        QVERIFY(writeFile(dir.filePath("gone"), "a file where the folder should be"));
        action("saveAct")->trigger();  // into a folder that can't be made
        const QString open = "Open Mesh File (OBJ, STL, PLY, glTF, 3MF, OFF)";
        QCOMPARE(dialogs_.captions, QStringList({open, open, open, "Select Directory."}));
        QCOMPARE(dialogs_.messages.size(), 3);
        QVERIFY2(dialogs_.messages[2].text.contains(dir.filePath("gone")), qPrintable(dialogs_.messages[2].text));
    }

    void saveWritesWhatTheCommandLineWrites_data() {
        QTest::addColumn<QString>("modeAction");
        QTest::addColumn<QString>("cliMode");
        QTest::addColumn<int>("files");
        QTest::newRow("clipping") << "clippingAct" << "clipping" << 64 + 2;  // + voxelscale.txt, volume.json
        QTest::newRow("depth-buffer") << "depthBufferAct" << "depth" << 64 + 1;  // + volume.json
    }
    void saveWritesWhatTheCommandLineWrites() {
        QFETCH(QString, modeAction);
        QFETCH(QString, cliMode);
        QFETCH(int, files);
        action(qPrintable(modeAction))->trigger();
        action("size64Act")->trigger();
        QTemporaryDir gui, cli;
        dialogs_.answers = {kBunny, gui.path()};
        action("openAct")->trigger();
        action("saveAct")->trigger();
        QVERIFY(dialogs_.messages.isEmpty());

        QProcess process;
        process.setWorkingDirectory(cli.path());
        process.start(KUBELMAR_CLI, {"--mode", cliMode, "--size", "64", "--quiet", kBunny, cli.path()});
        QVERIFY(process.waitForFinished(60000));
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
        QCOMPARE(filesIn(gui.path()).size(), files);
        QCOMPARE(filesIn(gui.path()), filesIn(cli.path()));
        for (const QString& name : filesIn(cli.path())) {
            const QByteArray expected = contentOf(cli.filePath(name));
            QVERIFY(!expected.isEmpty());
            QVERIFY2(contentOf(gui.filePath(name)) == expected, qPrintable(name + " differs"));
        }
    }

    void batchVoxelizesEachFileAndNamesTheFailures() {
        action("size64Act")->trigger();
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("b.obj"), kTetrahedron) && writeFile(dir.filePath("A.obj"), kTetrahedron));
        QVERIFY(writeFile(dir.filePath("empty.obj"), "# no vertex\n") && QDir(dir.path()).mkdir("folder.obj"));
        dialogs_.answers = {dir.path()};
        // The progress dialogs pump events: note their labels as they show.
        QStringList labels;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&labels] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QProgressDialog*>(widget); dialog && dialog->isVisible())
                    labels << dialog->labelText();
        });
        watch.start(0);
        action("batchAct")->trigger();
        watch.stop();
        QCOMPARE(dialogs_.captions, QStringList({"Select Directory to BATCH Process."}));
        QVERIFY2(!labels.filter(QRegularExpression("^A\\.obj \\(1 of 3\\): ")).isEmpty() &&
                     !labels.filter(QRegularExpression("^b\\.obj \\(2 of 3\\): ")).isEmpty(),
                 qPrintable(labels.join('|')));
        QCOMPARE(filesIn(dir.filePath("A")).size(), 64 + 2);  // slices, voxelscale.txt, volume.json
        QCOMPARE(filesIn(dir.filePath("b")).size(), 64 + 2);
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].kind, QString("warning"));
        QVERIFY2(dialogs_.messages[0].text.startsWith("1 of 3 ") &&
                     dialogs_.messages[0].text.contains(dir.filePath("empty.obj")),
                 qPrintable(dialogs_.messages[0].text));
        QCOMPARE(window_->runRequest().settings.size, 64);
        QVERIFY2(QRegularExpression("^Batch: 2 done in \\d+\\.\\d s, 1 failed$").match(window_->runStatus()).hasMatch(),
                 qPrintable(window_->runStatus()));
        QCOMPARE(window_->windowTitle(), QString("b.obj - Kubelmar"));  // the last file's mesh is shown

        QVERIFY(QFile::remove(dir.filePath("empty.obj")));
        dialogs_.answers = {dir.path()};
        action("batchAct")->trigger();  // all files done: no box
        action("batchAct")->trigger();  // cancelled
        QCOMPARE(dialogs_.messages.size(), 1);
    }

private:
    // Drags `url` onto the middle of the view and drops it; true when the
    // window took it.
    bool drop(const QUrl& url) {
        QMimeData mime;
        mime.setUrls({url});
        const QPoint at = window_->view()->geometry().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_.get(), &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_.get(), &dropped);
        return dropped.isAccepted();
    }

    QAction* action(const char* name) {
        auto* found = window_->findChild<QAction*>(QLatin1String(name));
        if (!found) qFatal("no action %s", name);
        return found;
    }

    FakeDialogs dialogs_;
    std::unique_ptr<Window> window_;
};

int main(int argc, char** argv) {
    QSurfaceFormat::setDefaultFormat(GLWidget::requiredFormat());
    QApplication application(argc, argv);
    // An empty working directory: no images/ folder for the icons to come
    // from or for the depth-buffer mode to write into.
    QTemporaryDir workingDirectory;
    QDir::setCurrent(workingDirectory.path());
    WindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_test.moc"
