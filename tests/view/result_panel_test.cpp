// The Result panel draws what the preview holds at the grid's true
// proportions: a non-cubic volume of anisotropic voxels is not squeezed
// into squares.

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QTest>
#include <memory>
#include <vector>

#include "formats/preview_volume.h"
#include "view/result_panel.h"

namespace {

// 40 x 30 x 50 voxels of 0.5 x 0.25 x 1: extents 20 x 7.5 x 50. Slices up
// z (rows down y, columns down x), a few voxels filled.
std::shared_ptr<kubelmar::VolumePreview> nonCubicPreview() {
    kubelmar::VolumeInfo info;
    info.size = 50;
    info.dims = {40, 30, 50};
    info.edge = {0.5, 0.25, 1.0};
    info.mode = kubelmar::VoxelMode::DepthBuffer;
    info.encoding = kubelmar::SliceEncoding::Occupancy;
    info.sliceAxis = {2, 1};
    info.rowAxis = {1, -1};
    info.columnAxis = {0, -1};
    auto preview = std::make_shared<kubelmar::VolumePreview>();
    preview->begin(info);
    std::vector<std::uint8_t> slice(info.slicePixels() * 4, 0);
    for (int p = 0; p < 40; ++p) slice[4 * (15 * 40 + p) + 3] = slice[4 * (15 * 40 + p)] = 255;
    for (int s = 0; s < info.slices(); ++s) preview->slice(s, slice.data());
    preview->end();
    return preview;
}

double aspect(const QLabel* label) {
    const QPixmap pixmap = label->pixmap();
    return pixmap.height() > 0 ? double(pixmap.width()) / pixmap.height() : 0.0;
}

}  // namespace

class ResultPanelTest : public QObject {
    Q_OBJECT

private slots:
    void nonCubicVolumeIsDrawnAtItsTrueProportions() {
        ResultPanel panel;
        panel.resize(700, 900);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        const auto preview = nonCubicPreview();
        QVERIFY(preview->complete());
        panel.showVolume(preview, QStringLiteral("out"));
        const auto* front = panel.findChild<QLabel*>(QStringLiteral("frontProjection"));
        const auto* side = panel.findChild<QLabel*>(QStringLiteral("sideProjection"));
        const auto* top = panel.findChild<QLabel*>(QStringLiteral("topProjection"));
        QVERIFY(front && side && top);
        // Extents 20 x 7.5 (front), 50 x 7.5 (side), 20 x 50 (top), rounded to pixels.
        QVERIFY2(qAbs(aspect(front) - 20 / 7.5) < 0.1, qPrintable(QString::number(aspect(front))));
        QVERIFY2(qAbs(aspect(side) - 50 / 7.5) < 0.4, qPrintable(QString::number(aspect(side))));
        QVERIFY2(qAbs(aspect(top) - 20.0 / 50) < 0.02, qPrintable(QString::number(aspect(top))));
        QVERIFY(panel.sliceText().contains(QStringLiteral("of 50")));
        // The slice, 40 x 30 voxels of 0.5 x 0.25: 20 wide by 7.5 high.
        const auto* slice = panel.findChild<QLabel*>(QStringLiteral("sliceView"));
        QVERIFY(slice);
        QVERIFY2(qAbs(aspect(slice) - 20 / 7.5) < 0.1, qPrintable(QString::number(aspect(slice))));
        panel.setFitted(false);
        QVERIFY2(qAbs(aspect(slice) - 20 / 7.5) < 0.1, qPrintable(QString::number(aspect(slice))));
    }
};

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ResultPanelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "result_panel_test.moc"
