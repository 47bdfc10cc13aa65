// The main window: menus and settings, and the three file commands with the
// dialogs answered by FakeDialogs, on a real GL context.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/window.h"
#include "fake_dialogs.h"
#include "view/gl_widget.h"
#include "voxel/png_io.h"

namespace {

const QString kBunny = QStringLiteral(KUBELMAR_SAMPLES_DIR "/bunny.obj");
constexpr int kBunnyVertices = 1839;

// A tetrahedron: enough surface for a batch run, quick at any size.
const char kTetrahedron[] = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n";

QStringList texts(const QList<QAction*>& actions) {
    QStringList result;
    for (const QAction* action : actions) result << action->text();
    return result;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList filesIn(const QString& directory) {
    return QDir(directory).entryList(QDir::Files, QDir::Name);
}

// Same file names; PNGs equal pixel for pixel once decoded, others byte for byte.
void compareStacks(const QString& actualDir, const QString& expectedDir) {
    QCOMPARE(filesIn(actualDir), filesIn(expectedDir));
    for (const QString& name : filesIn(expectedDir)) {
        const QString actual = actualDir + '/' + name, expected = expectedDir + '/' + name;
        if (!name.endsWith(QLatin1String(".png"))) {
            QFile a(actual), e(expected);
            QVERIFY(a.open(QIODevice::ReadOnly) && e.open(QIODevice::ReadOnly));
            QCOMPARE(a.readAll(), e.readAll());
            continue;
        }
        int aw = 0, ah = 0, ew = 0, eh = 0;
        std::vector<std::uint8_t> aPixels, ePixels;
        QVERIFY(kubelmar::readPngRGBA(actual.toStdString(), aw, ah, aPixels, nullptr));
        QVERIFY(kubelmar::readPngRGBA(expected.toStdString(), ew, eh, ePixels, nullptr));
        QCOMPARE(aw, ew);
        QCOMPARE(ah, eh);
        QVERIFY2(aPixels == ePixels, qPrintable(name + " differs"));
    }
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        dialogs_ = FakeDialogs();
        window_ = std::make_unique<Window>(&dialogs_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanup() {
        window_.reset();
        kubelmar::VoxelVolume::setAllocationLimitForTesting(0);
    }

    void menusAndStartState() {
        const QList<QAction*> menus = window_->menuBar()->actions();
        QCOMPARE(texts(menus), QStringList({"&File", "&Settings"}));

        const QList<QAction*> file = menus[0]->menu()->actions();
        QCOMPARE(texts(file), QStringList({"&Open OBJ file...", "&Batch process OBJ files...", "&Save Voxels..."}));
        const char* shortcuts[] = {"Ctrl+O", "Ctrl+B", "Ctrl+S"};
        const char* tips[] = {"Open an existing OBJ file", "Batch Process a directory of OBJ files",
                              "Save voxels to directory"};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(file[i]->shortcut(), QKeySequence(shortcuts[i]));
            QCOMPARE(file[i]->statusTip(), QString(tips[i]));
            // The working directory holds no images/: these are the copies
            // compiled into the program.
            QVERIFY(!file[i]->icon().isNull());
        }
        const QImage openIcon = file[0]->icon().pixmap(32).toImage();
        QCOMPARE(file[1]->icon().pixmap(32).toImage(), openIcon);
        QVERIFY(file[2]->icon().pixmap(32).toImage() != openIcon);

        const QList<QAction*> settings = menus[1]->menu()->actions();
        QCOMPARE(texts(settings), QStringList({"Mode:", "Voxel Size:"}));
        const QList<QAction*> modes = settings[0]->menu()->actions();
        const QList<QAction*> sizes = settings[1]->menu()->actions();
        QCOMPARE(texts(modes), QStringList({"Depth-Buffer Based", "Clipping Based"}));
        QCOMPARE(texts(sizes), QStringList({"64", "128", "256", "512", "1024"}));
        QStringList checked;
        for (const QAction* action : modes + sizes) {
            QVERIFY(action->isCheckable());
            if (action->isChecked()) checked << action->text();
        }
        QCOMPARE(checked, QStringList({"Clipping Based", "512"}));

        GLWidget* view = window_->view();
        QCOMPARE(view->mode(), kubelmar::kModeClipping);
        QCOMPARE(view->voxelSize(), 512);
        QCOMPARE(view->size(), QSize(512, 512));
    }

    void settingsDriveTheView() {
        GLWidget* view = window_->view();
        action("depthBufferAct")->trigger();
        QCOMPARE(view->mode(), kubelmar::kModeDepthBuffer);
        QVERIFY(!action("clippingAct")->isChecked());
        action("clippingAct")->trigger();
        QCOMPARE(view->mode(), kubelmar::kModeClipping);
        QVERIFY(!action("depthBufferAct")->isChecked());

        action("size64Act")->trigger();
        QCOMPARE(view->voxelSize(), 64);
        QCOMPARE(view->size(), QSize(64, 64));
        QVERIFY(!action("size512Act")->isChecked());

        // Choosing the size in force again clears the volume.
        view->engine().voxels.row(63, 63)[191] = 7;
        action("size64Act")->trigger();
        QCOMPARE(view->engine().voxels.row(63, 63)[191], std::uint8_t(0));
        QVERIFY(action("size64Act")->isChecked());

        // A size whose memory can't be had is refused with a box; the old
        // size, its check mark and the view size stay.
        kubelmar::VoxelVolume::setAllocationLimitForTesting(3 * 128 * 128 * 128);
        action("size1024Act")->trigger();
        QCOMPARE(dialogs_.messages.size(), 1);
        QVERIFY(dialogs_.messages[0].text.contains("1024"));
        QCOMPARE(view->voxelSize(), 64);
        QVERIFY(action("size64Act")->isChecked());
        QVERIFY(!action("size1024Act")->isChecked());
        QCOMPARE(view->size(), QSize(64, 64));
    }

    void saveWithoutAMeshShowsOnlyTheBox() {
        QTemporaryDir dir;
        const QString empty = dir.filePath("empty.obj");
        writeFile(empty, "# no vertex here\n");
        for (const QString& answer : {QString(), empty}) {
            if (!answer.isEmpty()) {
                dialogs_.answers = {answer};
                action("openAct")->trigger();
                QVERIFY(dialogs_.messages.isEmpty());  // an empty file loads, as no mesh
            }
            dialogs_.captions.clear();
            dialogs_.messages.clear();
            action("saveAct")->trigger();
            QCOMPARE(dialogs_.messages.size(), 1);
            QCOMPARE(dialogs_.messages[0].kind, QString("critical"));
            QCOMPARE(dialogs_.messages[0].title, QString("Kubelmar"));
            QCOMPARE(dialogs_.messages[0].text, QString("ERROR: No OBJ file is loaded!!!\n"));
            QVERIFY(dialogs_.captions.isEmpty());
        }
    }

    void openLoadsAndABadFileKeepsTheMesh() {
        const kubelmar::Mesh& mesh = window_->view()->engine().mesh;
        dialogs_.answers = {kBunny};
        action("openAct")->trigger();
        QCOMPARE(dialogs_.captions, QStringList({"Open OBJ file."}));
        QCOMPARE(dialogs_.filters, QStringList({"Mesh Files (*.obj)"}));
        QCOMPARE(mesh.vertexCount, kBunnyVertices);

        QTemporaryDir dir;
        const QString missing = dir.filePath("missing.obj");
        dialogs_.answers = {missing};
        action("openAct")->trigger();
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].kind, QString("critical"));
        QVERIFY2(dialogs_.messages[0].text.contains(missing), qPrintable(dialogs_.messages[0].text));
        QCOMPARE(mesh.vertexCount, kBunnyVertices);

        action("openAct")->trigger();  // cancelled
        QCOMPARE(mesh.vertexCount, kBunnyVertices);
        QCOMPARE(dialogs_.messages.size(), 1);
    }

    void saveWritesWhatTheCommandLineWrites_data() {
        QTest::addColumn<QString>("modeAction");
        QTest::addColumn<QString>("cliMode");
        QTest::addColumn<int>("files");
        QTest::newRow("clipping") << "clippingAct" << "clipping" << 64 + 1;  // + voxelscale.txt
        QTest::newRow("depth-buffer") << "depthBufferAct" << "depth" << 64;
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
        QCOMPARE(dialogs_.captions, QStringList({"Open OBJ file.", "Select Directory."}));
        QVERIFY(dialogs_.messages.isEmpty());
        QCOMPARE(window_->view()->outputDirectory(), gui.path());
        QCOMPARE(filesIn(gui.path()).size(), files);

        QProcess process;
        process.setWorkingDirectory(cli.path());
        process.start(KUBELMAR_CLI, {"--mode", cliMode, "--size", "64", "--quiet", kBunny, cli.path()});
        QVERIFY(process.waitForFinished(60000));
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
        compareStacks(gui.path(), cli.path());
    }

    void saveReportsAFailedWrite() {
        action("size64Act")->trigger();
        QTemporaryDir dir;
        const QString gone = dir.filePath("gone");
        dialogs_.answers = {kBunny, gone};
        action("openAct")->trigger();
        action("saveAct")->trigger();
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].kind, QString("critical"));
        QVERIFY2(dialogs_.messages[0].text.contains(gone), qPrintable(dialogs_.messages[0].text));
    }

    void batchVoxelizesEachFileAndNamesTheFailures() {
        action("size64Act")->trigger();
        QTemporaryDir dir;
        writeFile(dir.filePath("b.obj"), kTetrahedron);
        writeFile(dir.filePath("A.obj"), kTetrahedron);
        writeFile(dir.filePath("empty.obj"), "# no vertex here\n");
        QVERIFY(QDir(dir.path()).mkdir("folder.obj"));

        action("batchAct")->trigger();  // cancelled: nothing happens
        QCOMPARE(QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList({"folder.obj"}));

        dialogs_.answers = {dir.path()};
        action("batchAct")->trigger();
        QCOMPARE(dialogs_.captions.last(), QString("Select Directory to BATCH Process."));
        QCOMPARE(filesIn(dir.filePath("A")).size(), 64 + 1);
        QCOMPARE(filesIn(dir.filePath("b")).size(), 64 + 1);
        QVERIFY(!QDir(dir.filePath("empty")).exists());
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].kind, QString("warning"));
        QVERIFY(dialogs_.messages[0].text.startsWith("1 of 3 "));
        QVERIFY2(dialogs_.messages[0].text.contains(dir.filePath("empty.obj")),
                 qPrintable(dialogs_.messages[0].text));
        QCOMPARE(window_->view()->voxelSize(), 64);
        QCOMPARE(window_->view()->mode(), kubelmar::kModeClipping);

        // All files done: no box.
        QVERIFY(QFile::remove(dir.filePath("empty.obj")));
        dialogs_.answers = {dir.path()};
        action("batchAct")->trigger();
        QCOMPARE(dialogs_.messages.size(), 1);
    }

private:
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
    // An empty working directory: the icons must come from the program, and
    // the depth-buffer mode finds no images/ folder to write into.
    QTemporaryDir workingDirectory;
    QDir::setCurrent(workingDirectory.path());
    WindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_test.moc"
