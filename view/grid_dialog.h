#pragma once

#include <QDialog>

#include "engine/grid_options.h"

class QComboBox;
class QLabel;
class QLineEdit;

// Settings > Grid...: the command line's grid options as fields (shape,
// voxel size, units, scale, dpi, layer, up, slice axis, preset). OK is
// taken only when the fields resolve; otherwise the reason stays in the
// dialog, naming the field as the command line names its option.
class GridDialog final : public QDialog {
    Q_OBJECT
public:
    explicit GridDialog(QWidget* parent = nullptr);

    void setOptions(const kubelmar::GridOptions& options);
    kubelmar::GridOptions options() const;
    // The reason the fields don't resolve; empty when they do.
    QString problem() const;

    void accept() override;

private:
    void presetChosen();

    QComboBox* preset_;
    QComboBox* shape_;
    QLineEdit* voxelSize_;
    QComboBox* units_;
    QLineEdit* scale_;
    QLineEdit* dpi_;
    QLineEdit* layer_;
    QComboBox* up_;
    QComboBox* sliceAxis_;
    QLabel* problem_;
};
