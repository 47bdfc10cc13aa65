#include "view/result_panel.h"

#include <algorithm>
#include <cmath>

#include <QCheckBox>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>
#include <QSlider>
#include <QVBoxLayout>

#include "formats/png_stack_writer.h"

namespace {

// Projections are shown at most this many pixels on a side.
constexpr int kProjectionSide = 160;

// A width x height opaque RGBA picture (row 0 at the top) as a QImage
// owning a copy.
QImage toImage(const std::vector<std::uint8_t>& rgba, int width, int height) {
    if (width <= 0 || height <= 0 || rgba.size() != std::size_t(width) * std::size_t(height) * 4) return {};
    return QImage(rgba.data(), width, height, width * 4, QImage::Format_RGBA8888).copy();
}

// The size that fits `room` at the proportions of `extent` (output units).
QSize fitted(const kubelmar::VolumePreview::Extent& extent, QSize room) {
    if (!(extent.width > 0) || !(extent.height > 0)) return room;
    const double scale = std::min(room.width() / extent.width, room.height() / extent.height);
    return QSize(std::max(1, int(std::lround(extent.width * scale))), std::max(1, int(std::lround(extent.height * scale))));
}

}  // namespace

ResultPanel::ResultPanel(QWidget* parent) : QDockWidget(tr("Result"), parent) {
    setObjectName(QStringLiteral("resultDock"));
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);

    auto* row = new QHBoxLayout;
    const char* captions[3] = {QT_TR_NOOP("Front"), QT_TR_NOOP("Side"), QT_TR_NOOP("Top")};
    const char* names[3] = {"frontProjection", "sideProjection", "topProjection"};
    for (int v = 0; v < 3; ++v) {
        auto* column = new QVBoxLayout;
        projections_[v] = new QLabel(body);
        projections_[v]->setObjectName(QLatin1String(names[v]));
        projections_[v]->setFixedSize(kProjectionSide, kProjectionSide);
        projections_[v]->setAlignment(Qt::AlignCenter);
        column->addWidget(projections_[v]);
        column->addWidget(new QLabel(tr(captions[v]), body), 0, Qt::AlignHCenter);
        row->addLayout(column);
    }
    layout->addLayout(row);

    auto* controls = new QHBoxLayout;
    slider_ = new QSlider(Qt::Horizontal, body);
    slider_->setObjectName(QStringLiteral("sliceSlider"));
    fitBox_ = new QCheckBox(tr("Fit"), body);
    fitBox_->setChecked(true);
    controls->addWidget(slider_, 1);
    controls->addWidget(fitBox_);
    layout->addLayout(controls);
    sliceLabel_ = new QLabel(body);
    sliceLabel_->setObjectName(QStringLiteral("sliceLabel"));
    layout->addWidget(sliceLabel_);
    meshLabel_ = new QLabel(body);
    meshLabel_->setObjectName(QStringLiteral("meshLabel"));
    meshLabel_->setWordWrap(true);
    layout->addWidget(meshLabel_);

    sliceArea_ = new QScrollArea(body);
    sliceArea_->setAlignment(Qt::AlignCenter);
    sliceArea_->setBackgroundRole(QPalette::Dark);
    sliceView_ = new QLabel;
    sliceView_->setObjectName(QStringLiteral("sliceView"));
    sliceView_->setAlignment(Qt::AlignCenter);
    sliceArea_->setWidget(sliceView_);
    sliceArea_->setMinimumSize(kProjectionSide, kProjectionSide);
    sliceArea_->viewport()->installEventFilter(this);
    layout->addWidget(sliceArea_, 1);
    setWidget(body);

    connect(slider_, &QSlider::valueChanged, this, &ResultPanel::showSlice);
    connect(fitBox_, &QCheckBox::toggled, this, [this] { updateSlicePixmap(); });
    clear();
}

void ResultPanel::clear() {
    preview_.reset();
    directory_.clear();
    for (QLabel* label : projections_) label->clear();
    slider_->blockSignals(true);
    slider_->setRange(0, 0);
    slider_->setValue(0);
    slider_->blockSignals(false);
    slider_->setEnabled(false);
    sliceImage_ = QImage();
    sliceLabel_->setText(tr("Save voxels to see them here."));
    meshLabel_->clear();
    updateSlicePixmap();
}

void ResultPanel::showTopology(const kubelmar::MeshTopology& t) {
    meshLabel_->setText(tr("Mesh: %1 faces, %2 of %3 shells closed; %4 boundary, %5 non-manifold edges; "
                           "%6 faces wound against their neighbours")
                            .arg(t.faces)
                            .arg(t.closedShells)
                            .arg(t.shells)
                            .arg(t.boundaryEdges)
                            .arg(t.nonManifoldEdges)
                            .arg(t.flippedFaces));
}

QString ResultPanel::topologyText() const { return meshLabel_->text(); }

void ResultPanel::showVolume(std::shared_ptr<const kubelmar::VolumePreview> preview, const QString& directory) {
    if (!preview || !preview->complete()) {
        clear();
        return;
    }
    preview_ = std::move(preview);
    directory_ = directory;
    const int n = preview_->sliceCount();
    const kubelmar::PreviewView views[3] = {kubelmar::PreviewView::Front, kubelmar::PreviewView::Side,
                                            kubelmar::PreviewView::Top};
    for (int v = 0; v < 3; ++v) {
        const QImage image = toImage(preview_->projection(views[v]), preview_->projectionWidth(views[v]),
                                     preview_->projectionHeight(views[v]));
        // At the grid's true proportions, whatever the voxels' edges.
        const QSize size = fitted(preview_->projectionExtent(views[v]), QSize(kProjectionSide, kProjectionSide));
        projections_[v]->setPixmap(
            QPixmap::fromImage(image.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
    }
    slider_->blockSignals(true);
    slider_->setRange(0, n - 1);
    slider_->setValue(n / 2);
    slider_->blockSignals(false);
    slider_->setEnabled(true);
    showSlice(n / 2);
}

int ResultPanel::currentSlice() const { return preview_ ? slider_->value() : -1; }

void ResultPanel::setCurrentSlice(int s) { slider_->setValue(s); }

QString ResultPanel::sliceText() const { return sliceLabel_->text(); }

void ResultPanel::setFitted(bool fitted) { fitBox_->setChecked(fitted); }

void ResultPanel::showSlice(int s) {
    if (!preview_) return;
    sliceImage_ = toImage(preview_->slicePixels(s), preview_->sliceWidth(), preview_->sliceHeight());
    const QString name = QFileInfo(QString::fromStdString(kubelmar::sliceFileName("", s))).fileName();
    QString text = tr("Slice %1 of %2: %3").arg(s + 1).arg(preview_->sliceCount()).arg(name);
    if (sliceImage_.isNull()) text += tr(" (not kept: too large to hold)");
    sliceLabel_->setText(text);
    updateSlicePixmap();
}

void ResultPanel::updateSlicePixmap() {
    if (sliceImage_.isNull()) {
        sliceView_->clear();
        sliceView_->resize(0, 0);
        return;
    }
    QImage shown = sliceImage_;
    // Voxels drawn at their true proportions: a slice of anisotropic voxels
    // is stretched along the axis whose edge is longer.
    const kubelmar::VolumePreview::Extent extent =
        preview_ ? preview_->sliceExtent() : kubelmar::VolumePreview::Extent{};
    if (fitBox_->isChecked()) {
        // Nearest voxel, so voxel edges stay sharp when enlarged.
        const QSize room = (sliceArea_->viewport()->size() - QSize(2, 2)).expandedTo(QSize(16, 16));
        shown = sliceImage_.scaled(fitted(extent, room), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    } else if (extent.width > 0 && extent.height > 0) {
        const int width = sliceImage_.width();
        const int height = std::max(1, int(std::lround(width * extent.height / extent.width)));
        if (height != sliceImage_.height())
            shown = sliceImage_.scaled(width, height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    sliceView_->setPixmap(QPixmap::fromImage(shown));
    sliceView_->resize(shown.size());
}

bool ResultPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == sliceArea_->viewport() && event->type() == QEvent::Resize && fitBox_->isChecked())
        updateSlicePixmap();
    return QDockWidget::eventFilter(watched, event);
}
