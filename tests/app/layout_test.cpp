// The main window's shape: the view stays at least half of the window's
// width beside the Result panel, the window keeps within the screen, the
// status bar's parts don't run into each other, and the strip above the
// view says what a save will do. Run on more than one screen size.

#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressDialog>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <memory>

#include "app/window.h"
#include "tests/support/fake_dialogs.h"
#include "view/gl_widget.h"
#include "view/result_panel.h"
#include "view/save_strip.h"
#include "view/status_area.h"

namespace {

const QString kBunny = QStringLiteral(KUBELMAR_SAMPLES_DIR "/bunny.obj");
const QString kTeapot = QStringLiteral(KUBELMAR_SAMPLES_DIR "/teapot.obj");

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        dialogs_ = FakeDialogs();
        QSettings().clear();
        makeWindow();
    }
    void cleanup() { window_.reset(); }

    void viewKeepsHalfTheWidthBesideTheResultPanel() {
        save(kBunny);
        ResultPanel* panel = window_->resultPanel();
        QVERIFY(panel->isVisible() && panel->hasVolume());
        QTRY_VERIFY2(viewHasHalf(), qPrintable(shape()));
        QVERIFY2(fitsTheScreen(), qPrintable(shape()));
        if (!besideTheView()) QSKIP("this screen is too small for the panel beside the view");

        // Widening the panel by its splitter stops at half.
        window_->resizeDocks({panel}, {window_->width()}, Qt::Horizontal);
        QTRY_VERIFY2(viewHasHalf(), qPrintable(shape()));
        // A window made too narrow for both puts the panel elsewhere.
        window_->resize(panel->minimumSizeHint().width() + 100, window_->height());
        QTRY_VERIFY2(viewHasHalf() && !besideTheView(), qPrintable(shape()));
        QVERIFY2(fitsTheScreen(), qPrintable(shape()));
    }

    void windowFitsTheScreen_data() {
        QTest::addColumn<int>("size");
        QTest::newRow("1024") << 1024;
        QTest::newRow("2048") << 2048;
    }
    void windowFitsTheScreen() {
        // The view asks for N x N pixels at first: more than any screen here
        // at 2048. Neither the window nor the panel may leave the screen.
        QFETCH(int, size);
        QSettings().setValue("voxelSize", size);
        makeWindow();
        QCOMPARE(window_->runRequest().settings.size, size);
        QVERIFY2(fitsTheScreen(), qPrintable(shape()));
        QVERIFY(window_->openFile(kBunny));
        action("resultAct")->trigger();
        QVERIFY(window_->resultPanel()->isVisible());
        QTRY_VERIFY2(viewHasHalf() && fitsTheScreen(), qPrintable(shape()));

        // A size asked for before the first show is cut to the screen too.
        window_ = std::make_unique<Window>(&dialogs_);
        window_->resize(5000, 4000);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QVERIFY2(fitsTheScreen(), qPrintable(shape()));
    }

    void panelPlaceAndWidthAreRemembered() {
        QVERIFY(window_->openFile(kBunny));
        action("resultAct")->trigger();
        ResultPanel* panel = window_->resultPanel();
        // The user drags it below the view; the next window puts it there.
        window_->addDockWidget(Qt::BottomDockWidgetArea, panel);
        panel->setFloating(false);  // where the screen was too small for it docked
        QTRY_COMPARE(QSettings().value("resultPanel/place").toString(), QString("bottom"));
        reopenWithPanel();
        panel = window_->resultPanel();
        QVERIFY2(panel->isFloating() || window_->dockWidgetArea(panel) == Qt::BottomDockWidgetArea, qPrintable(shape()));
        QVERIFY(viewHasHalf());

        // Floating, it comes back floating where it was, within the screen
        // (where the screen is too small for it below, it floats already).
        if (!panel->isFloating()) {
            panel->setFloating(true);
            QTRY_COMPARE(QSettings().value("resultPanel/place").toString(), QString("floating"));
            panel->setGeometry(QRect(screenRoom().topLeft() + QPoint(40, 30), panel->minimumSizeHint()));
            reopenWithPanel();
            panel = window_->resultPanel();
            QVERIFY(panel->isFloating());
            QTRY_COMPARE(panel->geometry().topLeft(), screenRoom().topLeft() + QPoint(40, 30));
        }
        QVERIFY2(fitsTheScreen(), qPrintable(shape()));

        // Beside the view, with the width it had.
        const int wide = panel->minimumSizeHint().width() + 40;
        if (screenRoom().width() < 2 * wide + 40) QSKIP("this screen is too small for the panel beside the view");
        window_->addDockWidget(Qt::RightDockWidgetArea, panel);
        panel->setFloating(false);
        QTRY_VERIFY(besideTheView());
        window_->resize(2 * wide + 40, window_->height());
        QTRY_COMPARE(window_->width(), 2 * wide + 40);
        window_->resizeDocks({panel}, {wide}, Qt::Horizontal);
        QTRY_COMPARE(panel->width(), wide);
        reopenWithPanel();
        panel = window_->resultPanel();
        QVERIFY(besideTheView());
        QTRY_COMPARE(panel->width(), wide);
        QVERIFY2(viewHasHalf() && fitsTheScreen(), qPrintable(shape()));
    }

    void statusPartsDoNotCollide() {
        // A long file name in a narrow window: the facts and the note each
        // shortened with "…", the note left of the facts, both whole in
        // their tool tip and accessors.
        QTemporaryDir dir;
        const QString path = dir.filePath(QString(80, 'n') + ".obj");
        QVERIFY(writeFile(path, "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n"));
        QVERIFY(window_->openFile(path));
        window_->resize(560, window_->height());
        StatusArea* status = window_->statusArea();
        const QString note = "Saved 515 files to " + dir.path() + "/" + QString(60, 'o') + " in 12.5 s";
        status->showNote(note);
        QTRY_COMPARE(status->width(), window_->width());
        QApplication::processEvents();

        QVERIFY(window_->meshStatus().startsWith(QString(80, 'n') + ".obj: 4 triangles, 4 vertices"));
        QVERIFY2(status->shownMeshFacts().endsWith(QChar(0x2026)), qPrintable(status->shownMeshFacts()));
        QVERIFY2(status->currentMessage().endsWith(QChar(0x2026)), qPrintable(status->currentMessage()));
        QCOMPARE(window_->runStatus(), note);
        auto* facts = status->findChild<QLabel*>("meshStatus");
        QVERIFY(facts && facts->toolTip() == window_->meshStatus());
        const int noteEnd = status->noteRect().left() + status->fontMetrics().horizontalAdvance(status->currentMessage());
        QVERIFY2(noteEnd < facts->x(), qPrintable(QString("note ends at %1, facts start at %2").arg(noteEnd).arg(facts->x())));
        QVERIFY(facts->x() + facts->width() <= status->width());

        // A menu's status tip covers the note only while it is shown.
        status->showMessage("Open an existing OBJ file");
        status->clearMessage();
        QVERIFY(status->currentMessage().startsWith("Saved 515 files"));
    }

    void saveNoteAndProgressBelongToTheMesh() {
        action("size64Act")->trigger();
        QStringList labels;
        QList<Qt::WindowModality> modality;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QProgressDialog*>(widget); dialog && dialog->isVisible()) {
                    labels << dialog->labelText();
                    modality << dialog->windowModality();
                }
        });
        watch.start(0);
        const QString out = save(kBunny);
        watch.stop();
        // Every step's dialog names the mesh and the step, and is modal.
        QVERIFY(!labels.isEmpty());
        for (const QString& label : labels) QVERIFY2(label.startsWith("bunny.obj: ") && label.contains("Step"), qPrintable(label));
        QVERIFY(!modality.contains(Qt::NonModal));
        QVERIFY2(window_->runStatus().startsWith("Saved 66 files to "), qPrintable(window_->runStatus()));

        // A file that can't be read leaves the mesh and its save's note.
        dialogs_.answers = {QDir::temp().filePath("no-such-mesh.obj")};
        action("openAct")->trigger();
        QVERIFY(window_->runStatus().startsWith("Saved 66 files to "));
        // Another mesh: that save's note goes; where it went stays.
        dialogs_.answers = {kTeapot};
        action("openAct")->trigger();
        QCOMPARE(window_->runStatus(), QString());
        QVERIFY(window_->meshStatus().startsWith("teapot.obj: "));
        QCOMPARE(window_->saveStrip()->lastOutput(), out);
    }

    void stripSaysWhatASaveWillDo() {
        SaveStrip* strip = window_->saveStrip();
        QVERIFY(strip->isVisible());
        QCOMPARE(strip->planText(), QString("Next save: Clipping Based · Voxel Size: 512 · PNG Stack"));
        QCOMPARE(strip->lastOutput(), QString());
        action("depthBufferAct")->trigger();
        action("size128Act")->trigger();
        action("binvoxFormatAct")->trigger();
        QCOMPARE(strip->planText(),
                 QString("Next save: Depth-Buffer Based · Voxel Size: 128 · PNG Stack, binvox"));
        action("pngFormatAct")->trigger();
        action("binvoxFormatAct")->trigger();
        QVERIFY(strip->planText().endsWith("Voxel Size: 128 · volume.json only"));
        action("pngFormatAct")->trigger();

        // The last output folder is a link to it, also in the next window.
        const QString out = save(kBunny);
        QCOMPARE(strip->lastOutput(), out);
        QCOMPARE(QUrl(strip->lastOutputLink()).toLocalFile(), out);
        QVERIFY(strip->findChild<QLabel*>("lastOutput")->text().contains(strip->lastOutputLink()));
        makeWindow();
        QCOMPARE(window_->saveStrip()->lastOutput(), out);
        QVERIFY(window_->saveStrip()->planText().contains("Depth-Buffer Based · Voxel Size: 64"));

        // The Open dialog names what it opens, a filter for each format.
        dialogs_.answers = {QString()};
        action("openAct")->trigger();
        const QStringList filters = dialogs_.filters.value(0).split(";;");
        QVERIFY2(filters.size() == 8 && filters[0].startsWith("Mesh Files (*.obj *.stl *.ply *.gltf *.glb *.3mf *.off)"),
                 qPrintable(filters.join(" | ")));
        QCOMPARE(filters[4], QString("glTF (*.gltf *.glb)"));
    }

private:
    void makeWindow() {
        window_.reset();  // remembers the panel first, as closing would
        window_ = std::make_unique<Window>(&dialogs_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }

    void reopenWithPanel() {
        makeWindow();
        QVERIFY(window_->openFile(kBunny));
        action("resultAct")->trigger();
        QVERIFY(window_->resultPanel()->isVisible());
    }

    // Opens `mesh` and saves it at 64 into a fresh folder; that folder.
    QString save(const QString& mesh) {
        outputs_.push_back(std::make_unique<QTemporaryDir>());
        action("size64Act")->trigger();
        dialogs_.answers = {mesh, outputs_.back()->path()};
        action("openAct")->trigger();
        action("saveAct")->trigger();
        if (!dialogs_.messages.isEmpty()) qWarning("%s", qPrintable(dialogs_.messages.first().text));
        return outputs_.back()->path();
    }

    QRect screenRoom() const { return window_->screen()->availableGeometry(); }

    bool besideTheView() const {
        const ResultPanel* panel = window_->resultPanel();
        const Qt::DockWidgetArea area = window_->dockWidgetArea(window_->resultPanel());
        return panel->isVisible() && !panel->isFloating() &&
               (area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea);
    }

    bool viewHasHalf() const { return 2 * window_->view()->width() >= window_->width(); }

    bool fitsTheScreen() const {
        const ResultPanel* panel = window_->resultPanel();
        return screenRoom().contains(window_->frameGeometry()) &&
               (!panel->isVisible() || !panel->isFloating() || screenRoom().contains(panel->frameGeometry()));
    }

    QString shape() const {
        const auto text = [](const QRect& r) {
            return QString("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
        };
        return QString("screen %1, window %2, view %3, panel %4%5")
            .arg(text(screenRoom()), text(window_->frameGeometry()), text(window_->view()->geometry()),
                 text(window_->resultPanel()->frameGeometry()),
                 window_->resultPanel()->isFloating() ? " floating" : "");
    }

    QAction* action(const char* name) {
        auto* found = window_->findChild<QAction*>(QLatin1String(name));
        if (!found) qFatal("no action %s", name);
        return found;
    }

    FakeDialogs dialogs_;
    std::unique_ptr<Window> window_;
    std::vector<std::unique_ptr<QTemporaryDir>> outputs_;
};

int main(int argc, char** argv) {
    QSurfaceFormat::setDefaultFormat(GLWidget::requiredFormat());
    QApplication application(argc, argv);
    // Settings of their own: the tests clear them.
    QCoreApplication::setOrganizationName("Kubelmar tests");
    QCoreApplication::setApplicationName("kubelmar_layout_tests");
    QTemporaryDir workingDirectory;
    QDir::setCurrent(workingDirectory.path());
    LayoutTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "layout_test.moc"
