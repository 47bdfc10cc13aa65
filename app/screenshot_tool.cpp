// kubelmar_screenshot: takes the pictures in docs/. Opens the desktop
// window on a coloured copy of a sample mesh (vertex colours by height, so
// the lit view shows colour and shading), turns it a little, saves it at
// 128 from a window 640 pixels wide (which grows to make room for the
// Result panel beside the view), and writes the window as a PNG; with a
// third argument also the preview picture of the saved volume, as
// kubelmar-cli --preview writes it. Run on a display (scripts/screenshot.sh
// uses a virtual one). Not installed; QSettings go to their own place so a
// user's remembered choices are untouched.
//
// Usage: kubelmar_screenshot MESH.obj WINDOW.png [PREVIEW.png]

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QSettings>
#include <QSurfaceFormat>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <algorithm>
#include <cstdio>

#include "app/window.h"
#include "formats/preview_volume.h"
#include "view/result_panel.h"
#include "view/dialogs.h"
#include "view/gl_widget.h"

namespace {

// Answers the save dialog with one fixed folder; refuses everything else.
class FixedAnswer final : public Dialogs {
public:
    explicit FixedAnswer(QString directory) : directory_(std::move(directory)) {}
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString existingDirectory(QWidget*, const QString&, const QString&) override { return directory_; }
    void critical(QWidget*, const QString&, const QString& text) override {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
    void warning(QWidget* parent, const QString& title, const QString& text) override {
        critical(parent, title, text);
    }
    bool question(QWidget*, const QString&, const QString&) override { return false; }

private:
    QString directory_;
};

// The mesh's v and f lines with a "vc" line per vertex: a ramp from blue at
// the lowest y through green to orange at the highest.
bool writeColouredCopy(const QString& from, const QString& to) {
    QFile in(from), out(to);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text) || !out.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QStringList vertices, faces;
    double low = 1e300, high = -1e300;
    QList<double> heights;
    while (!in.atEnd()) {
        const QString line = QString::fromUtf8(in.readLine()).trimmed();
        if (line.startsWith("v ")) {
            const double y = line.split(' ', Qt::SkipEmptyParts).value(2).toDouble();
            low = std::min(low, y), high = std::max(high, y);
            heights << y;
            vertices << line;
        } else if (line.startsWith("f ")) {
            faces << line;
        }
    }
    QTextStream stream(&out);
    for (const QString& v : vertices) stream << v << '\n';
    for (double y : heights) {
        const double t = high > low ? (y - low) / (high - low) : 0.5;
        const double r = t < 0.5 ? 0.15 : 0.15 + 1.7 * (t - 0.5) * 0.95, g = t < 0.5 ? 0.3 + t : 0.8 - (t - 0.5) * 0.6,
                     b = t < 0.5 ? 0.9 - 1.4 * t : 0.2;
        stream << "vc " << r << ' ' << g << ' ' << b << '\n';
    }
    for (const QString& f : faces) stream << f << '\n';
    return stream.status() == QTextStream::Ok;
}

}  // namespace

int main(int argc, char** argv) {
    QSurfaceFormat::setDefaultFormat(GLWidget::requiredFormat());
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName("Kubelmar");
    QCoreApplication::setApplicationName("kubelmar-screenshot");
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "Usage: kubelmar_screenshot MESH.obj WINDOW.png [PREVIEW.png]\n");
        return 2;
    }
    QTemporaryDir work;
    const QString mesh = work.filePath(QFileInfo(arguments[1]).completeBaseName() + ".obj");
    // A plain name, as it shows in the status bar.
    const QString voxels = QDir::temp().filePath("bunny-voxels");
    QDir(voxels).removeRecursively();
    if (!writeColouredCopy(arguments[1], mesh) || !QDir().mkpath(voxels)) {
        std::fprintf(stderr, "kubelmar_screenshot: can't make the coloured copy in %s\n", qPrintable(work.path()));
        return 1;
    }
    // The defaults, as a first run has them.
    for (const char* key : {"mode", "voxelSize", "outputFormats", "lastOutput", "resultPanel", "grid"}) QSettings().remove(key);

    FixedAnswer answers(voxels);
    Window window(&answers);
    window.resize(640, 600);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window) || !window.openFile(mesh)) return 1;
    // A three-quarter view: turned about y, then tipped towards the viewer.
    kubelmar::MeshView& view = window.view()->engine().view();
    view.click(200, 300);
    view.drag(330, 260);
    view.release();
    window.findChild<QAction*>("size128Act")->trigger();
    window.findChild<QAction*>("saveAct")->trigger();
    QTest::qWait(500);
    // What the X server shows, as a user would see it.
    if (!window.screen()->grabWindow(window.winId()).save(arguments[2])) return 1;
    QDir(voxels).removeRecursively();
    if (arguments.size() > 3) {
        const auto preview = window.resultPanel()->preview();
        if (!preview) return 1;
        const kubelmar::WriteResult written = kubelmar::writePreviewPng(*preview, arguments[3].toStdString());
        if (!written.ok) {
            std::fprintf(stderr, "%s\n", written.error.text().c_str());
            return 1;
        }
    }
    return 0;
}
