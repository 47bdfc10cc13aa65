#pragma once

#include <QDockWidget>
#include <QImage>
#include <QString>
#include <memory>

#include "formats/preview_volume.h"
#include "mesh/mesh_topology.h"

class QCheckBox;
class QLabel;
class QScrollArea;
class QSlider;

// The dockable "Result" panel: what the last save wrote, from the preview
// collected while the engine streamed it. Three projections (front, side,
// top) above a slice browser: a slider through the slices, the slice number
// and its file name, and the slice at 1:1 or fitted to the panel.
class ResultPanel : public QDockWidget {
    Q_OBJECT

public:
    explicit ResultPanel(QWidget* parent = nullptr);

    // Shows the volume; `directory` is where its slices were written (for
    // their names). A null or incomplete preview clears the panel.
    void showVolume(std::shared_ptr<const kubelmar::VolumePreview> preview, const QString& directory);
    void clear();
    // One line on what the mesh is: faces, shells, open and flipped edges.
    void showTopology(const kubelmar::MeshTopology& topology);
    QString topologyText() const;
    bool hasVolume() const { return preview_ != nullptr; }
    const std::shared_ptr<const kubelmar::VolumePreview>& preview() const { return preview_; }

    // The slice the browser shows, 0..N-1; -1 when empty.
    int currentSlice() const;
    void setCurrentSlice(int s);
    // The slice as shown at 1:1 (N x N, opaque), null when none is kept.
    const QImage& sliceImage() const { return sliceImage_; }
    QString sliceText() const;
    // Fitted (true) or 1:1.
    void setFitted(bool fitted);

protected:
    // Refits the slice when the scroll area's viewport changes size.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showSlice(int s);
    void updateSlicePixmap();

    std::shared_ptr<const kubelmar::VolumePreview> preview_;
    QString directory_;
    QImage sliceImage_;
    QLabel* meshLabel_ = nullptr;
    QLabel* projections_[3] = {nullptr, nullptr, nullptr};
    QSlider* slider_ = nullptr;
    QLabel* sliceLabel_ = nullptr;
    QCheckBox* fitBox_ = nullptr;
    QScrollArea* sliceArea_ = nullptr;
    QLabel* sliceView_ = nullptr;
};
