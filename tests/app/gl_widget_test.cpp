// The view on a real GL context: mouse rotation, and drawing into the
// framebuffer object Qt gives the widget, before and after a voxelization.

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <memory>

#include "fake_dialogs.h"
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

int litPixels(const QImage& image) {
    int lit = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) lit += (image.pixel(x, y) & 0xFFFFFF) != 0;
    return lit;
}

}  // namespace

class GLWidgetTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        view_ = std::make_unique<GLWidget>(&dialogs_);
        QVERIFY(view_->setVoxelSize(64));
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

    void drawsIntoQtsFramebufferBeforeAndAfterVoxelizing() {
        QCOMPARE(litPixels(view_->grabFramebuffer()), 0);
        QVERIFY(view_->loadMesh(KUBELMAR_SAMPLES_DIR "/bunny.obj"));
        QVERIFY(litPixels(view_->grabFramebuffer()) > 64 * 64 / 10);
        // The voxelization renders into targets of its own: Qt's framebuffer
        // must be bound again afterwards, the view turned to an axis view.
        QTemporaryDir out;
        QVERIFY(view_->voxelize(out.path()).ok);
        QVERIFY(!sameMatrix(view_->engine().view().rotation(), kubelmar::Mat4::identity()));
        QVERIFY(litPixels(view_->grabFramebuffer()) > 64 * 64 / 10);
        QVERIFY(dialogs_.messages.isEmpty());
    }

private:
    FakeDialogs dialogs_;
    std::unique_ptr<GLWidget> view_;
};

int main(int argc, char** argv) {
    QSurfaceFormat::setDefaultFormat(GLWidget::requiredFormat());
    QApplication application(argc, argv);
    GLWidgetTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "gl_widget_test.moc"
