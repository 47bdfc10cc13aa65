// The main window: menus and settings, and the three file commands with the
// dialogs answered by FakeDialogs, on a real GL context.

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/window.h"
#include "fake_dialogs.h"
#include "view/gl_widget.h"
#include "voxel/png_io.h"

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
        QSettings().remove("outputFormats");  // every test starts from the defaults
        window_ = std::make_unique<Window>(&dialogs_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanup() {
        window_.reset();
    }

    void menusAndStartState() {
        const QList<QAction*> menus = window_->menuBar()->actions();
        QCOMPARE(texts(menus), QStringList({"&File", "&Settings"}));
        const QList<QAction*> file = menus[0]->menu()->actions();
        QCOMPARE(texts(file), QStringList({"&Open OBJ file...", "&Batch process OBJ files...", "&Save Voxels..."}));
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
        QCOMPARE(texts(settings), QStringList({"Mode:", "Voxel Size:", "Output Formats", "Full Depth Precision"}));
        QVERIFY(!settings[3]->isChecked());
        const QList<QAction*> formats = settings[2]->menu()->actions();
        QVERIFY(formats.size() >= 5);
        QCOMPARE(formats[0]->text(), QString("PNG Stack"));
        for (const QAction* format : formats) QCOMPARE(format->isChecked(), format == formats[0]);
        const QList<QAction*> modes = settings[0]->menu()->actions(), sizes = settings[1]->menu()->actions();

        QCOMPARE(texts(modes), QStringList({"Depth-Buffer Based", "Clipping Based"}));
        QCOMPARE(texts(sizes), QStringList({"64", "128", "256", "512", "1024", "2048"}));
        QStringList checked;
        for (const QAction* action : modes + sizes) {
            QVERIFY(action->isCheckable());
            if (action->isChecked()) checked << action->text();
        }
        QCOMPARE(checked, QStringList({"Clipping Based", "512"}));
        QCOMPARE(window_->view()->mode(), kubelmar::kModeClipping);
        QCOMPARE(window_->view()->voxelSize(), 512);
        QCOMPARE(window_->view()->size(), QSize(512, 512));
    }

    void settingsDriveTheView() {
        GLWidget* view = window_->view();
        action("depthBufferAct")->trigger();
        QCOMPARE(view->mode(), kubelmar::kModeDepthBuffer);
        QVERIFY(!action("clippingAct")->isChecked());
        action("clippingAct")->trigger();
        QCOMPARE(view->mode(), kubelmar::kModeClipping);

        action("size64Act")->trigger();
        QCOMPARE(view->voxelSize(), 64);
        QCOMPARE(view->size(), QSize(64, 64));
        QVERIFY(!action("size512Act")->isChecked());
        // 2048 renders off screen; the view stays 1024 x 1024.
        action("size2048Act")->trigger();
        QCOMPARE(view->voxelSize(), 2048);
        QCOMPARE(view->size(), QSize(1024, 1024));
        QVERIFY(dialogs_.messages.isEmpty());
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
        QCOMPARE(dialogs_.captions, QStringList({"Open OBJ file.", "Open OBJ file.", "Open OBJ file.", "Select Directory."}));
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
        QCOMPARE(window_->view()->outputDirectory(), gui.path());

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
        action("batchAct")->trigger();
        QCOMPARE(dialogs_.captions, QStringList({"Select Directory to BATCH Process."}));
        QCOMPARE(filesIn(dir.filePath("A")).size(), 64 + 2);  // slices, voxelscale.txt, volume.json
        QCOMPARE(filesIn(dir.filePath("b")).size(), 64 + 2);
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].kind, QString("warning"));
        QVERIFY2(dialogs_.messages[0].text.startsWith("1 of 3 ") &&
                     dialogs_.messages[0].text.contains(dir.filePath("empty.obj")),
                 qPrintable(dialogs_.messages[0].text));
        QCOMPARE(window_->view()->voxelSize(), 64);

        QVERIFY(QFile::remove(dir.filePath("empty.obj")));
        dialogs_.answers = {dir.path()};
        action("batchAct")->trigger();  // all files done: no box
        action("batchAct")->trigger();  // cancelled
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
    // An empty working directory: no images/ folder for the icons to come
    // from or for the depth-buffer mode to write into.
    QTemporaryDir workingDirectory;
    QDir::setCurrent(workingDirectory.path());
    WindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_test.moc"
