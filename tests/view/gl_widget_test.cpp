// The view on a real GL context: mouse rotation, zoom and fit, lighting,
// and drawing into the framebuffer object Qt gives the widget, before and
// after a voxelization.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <memory>

#include "tests/support/fake_dialogs.h"
#include "view/gl_widget.h"

namespace {

bool sameMatrix(const kubelmar::Mat4& a, const kubelmar::Mat4& b) { return std::equal(a.m, a.m + 16, b.m); }

void sendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Press at `from`, two moves to `to`, release; widget pixels.
void drag(QWidget* widget, Qt::MouseButton button, QPoint from, QPoint to) {
    sendMouse(widget, QEvent::MouseButtonPress, from, button, button);
    sendMouse(widget, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, button);
    sendMouse(widget, QEvent::MouseMove, to, Qt::NoButton, button);
    sendMouse(widget, QEvent::MouseButtonRelease, to, button, Qt::NoButton);
}

// `notches` wheel steps away from the user (positive: zoom in).
void wheel(QWidget* widget, int notches) {
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

bool lit(QRgb pixel) { return (pixel & 0xFFFFFF) != 0; }

int litPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) count += lit(image.pixel(x, y));
    return count;
}

// The bounding box of the non-background pixels.
QRect litBox(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (lit(image.pixel(x, y))) box |= QRect(x, y, 1, 1);
    return box;
}

// Saves the picture beside the test when a check on it fails.
QString keep(const QImage& image, const QString& name) {
    const QString path = QDir::temp().filePath("kubelmar_view_tests_" + name + ".png");
    image.save(path);
    return "picture: " + path;
}

// A UV sphere of radius 1 as OBJ text, its faces wound counter-clockwise
// seen from outside (outward normals) or, `inward`, the other way.
QByteArray sphereObj(bool inward) {
    constexpr int kRings = 24, kSegments = 48;
    QByteArray obj;
    for (int r = 0; r <= kRings; ++r)
        for (int s = 0; s < kSegments; ++s) {
            const double theta = M_PI * r / kRings, phi = 2 * M_PI * s / kSegments;
            obj += QByteArray("v ") + QByteArray::number(std::sin(theta) * std::cos(phi)) + ' ' +
                   QByteArray::number(std::cos(theta)) + ' ' + QByteArray::number(std::sin(theta) * std::sin(phi)) +
                   '\n';
        }
    auto index = [](int r, int s) { return QByteArray::number(r * kSegments + (s % kSegments) + 1); };
    for (int r = 0; r < kRings; ++r)
        for (int s = 0; s < kSegments; ++s) {
            const QByteArray a = index(r, s), b = index(r + 1, s), c = index(r + 1, s + 1), d = index(r, s + 1);
            obj += inward ? "f " + a + ' ' + c + ' ' + b + '\n' : "f " + a + ' ' + b + ' ' + c + '\n';
            obj += inward ? "f " + a + ' ' + d + ' ' + c + '\n' : "f " + a + ' ' + c + ' ' + d + '\n';
        }
    return obj;
}

int grey(QRgb pixel) { return qGray(pixel); }

}  // namespace

class GLWidgetTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        view_ = std::make_unique<GLWidget>();
        view_->preferSide(64);
        // Not square, so fitting has to respect the shorter side.
        view_->resize(160, 100);
        view_->show();
        QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
        QVERIFY(view_->engine().glReady());
    }
    void cleanup() { view_.reset(); }

    void onlyALeftDragRotates() {
        const kubelmar::Mat4& rotation = view_->engine().view().rotation();
        const kubelmar::Mat4 start = rotation;
        drag(view_.get(), Qt::RightButton, {10, 30}, {50, 40});
        QVERIFY(sameMatrix(rotation, start));
        drag(view_.get(), Qt::LeftButton, {10, 30}, {50, 40});
        const kubelmar::Mat4 turned = rotation;
        QVERIFY(!sameMatrix(turned, start));
        // The release ended the drag: a later right-button move turns nothing.
        sendMouse(view_.get(), QEvent::MouseMove, {5, 5}, Qt::NoButton, Qt::RightButton);
        QVERIFY(sameMatrix(rotation, turned));
    }

    void aSaveKeepsTheUsersRotationAndPicture() {
        QCOMPARE(litPixels(view_->grabFramebuffer()), 0);
        QVERIFY(view_->loadMesh(KUBELMAR_SAMPLES_DIR "/bunny.obj").ok);
        drag(view_.get(), Qt::LeftButton, {40, 30}, {90, 60});
        const kubelmar::Mat4 turned = view_->engine().view().rotation();
        const QImage before = view_->grabFramebuffer();
        QVERIFY(litPixels(before) > 160 * 100 / 10);
        // The voxelization renders into targets of its own: Qt's framebuffer
        // must be bound again afterwards and the view as the user left it.
        QTemporaryDir out;
        kubelmar::RunRequest request;
        request.settings.size = 64;
        request.keepPreview = true;
        const kubelmar::RunReport report = view_->runOnContext([&](kubelmar::Engine& engine, kubelmar::Progress& p) {
            return kubelmar::runMesh(engine, request, {KUBELMAR_SAMPLES_DIR "/bunny.obj", "bunny.obj", out.path().toStdString()}, p);
        });
        QVERIFY2(report.done(), report.errorText().c_str());
        QVERIFY(sameMatrix(view_->engine().view().rotation(), turned));
        const QImage after = view_->grabFramebuffer();
        QVERIFY2(after == before, qPrintable(keep(before, "before_save") + ", " + keep(after, "after_save")));
        QVERIFY(report.preview && report.preview->complete());
    }

    void zoomAndFitKeepTheMeshInside() {
        QVERIFY(view_->loadMesh(KUBELMAR_SAMPLES_DIR "/bunny.obj").ok);
        const QRect inside = QRect(QPoint(0, 0), view_->grabFramebuffer().size()).adjusted(1, 1, -1, -1);
        // At the fitted zoom no rotation pushes the mesh to the edge.
        for (QPoint to : {QPoint(120, 30), QPoint(80, 95), QPoint(20, 5)}) {
            drag(view_.get(), Qt::LeftButton, {80, 50}, to);
            const QImage image = view_->grabFramebuffer();
            QVERIFY2(inside.contains(litBox(image)), qPrintable(keep(image, "fitted")));
        }
        const QRect fitted = litBox(view_->grabFramebuffer());
        // Zooming out keeps it inside, smaller; zooming in fills the view.
        wheel(view_.get(), -2);
        QVERIFY(view_->zoom() < 1.0f);
        const QRect out = litBox(view_->grabFramebuffer());
        QVERIFY(inside.contains(out) && out.width() < fitted.width());
        wheel(view_.get(), 6);
        QVERIFY(view_->zoom() > 1.0f);
        const QImage zoomed = view_->grabFramebuffer();
        QVERIFY2(litBox(zoomed).width() > fitted.width(), qPrintable(keep(zoomed, "zoomed")));
        // A double click fits again.
        sendMouse(view_.get(), QEvent::MouseButtonDblClick, {80, 50}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(view_->zoom(), 1.0f);
        QCOMPARE(litBox(view_->grabFramebuffer()), fitted);
    }

    void theShadedSphereDarkensTowardsItsRimAndTheFlatOneDoesNot_data() {
        QTest::addColumn<bool>("inward");
        QTest::newRow("outward faces") << false;
        QTest::newRow("inward faces") << true;  // lit the same: winding varies between files
    }
    void theShadedSphereDarkensTowardsItsRimAndTheFlatOneDoesNot() {
        QFETCH(bool, inward);
        QTemporaryDir dir;
        QFile file(dir.filePath("sphere.obj"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(sphereObj(inward)) > 0);
        file.close();
        QVERIFY(view_->loadMesh(file.fileName()).ok);
        QVERIFY(view_->shaded());
        const QImage shaded = view_->grabFramebuffer();
        const QRect box = litBox(shaded);
        const QPoint centre = box.center();
        // Facing the headlight the sphere is brightest; near its outline the
        // surface turns away and darkens.
        const int middle = grey(shaded.pixel(centre));
        const int nearRim = grey(shaded.pixel(box.left() + 2, centre.y()));
        QVERIFY2(middle > 180 && nearRim < middle * 2 / 3,
                 qPrintable(QString("centre %1, rim %2; ").arg(middle).arg(nearRim) + keep(shaded, "shaded")));
        view_->setShaded(false);
        const QImage flat = view_->grabFramebuffer();
        QCOMPARE(flat.pixel(centre) & 0xFFFFFF, 0xFFFFFFu);
        QCOMPARE(flat.pixel(box.left() + 2, centre.y()) & 0xFFFFFF, 0xFFFFFFu);
    }

private:

    std::unique_ptr<GLWidget> view_;
};

int main(int argc, char** argv) {
    QSurfaceFormat::setDefaultFormat(GLWidget::requiredFormat());
    QApplication application(argc, argv);
    GLWidgetTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "gl_widget_test.moc"
