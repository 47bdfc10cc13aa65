#pragma once

#include <QDialog>

#include "colour/print_options.h"

class QComboBox;
class QLabel;
class QLineEdit;

// Settings > Print...: the command line's print options as fields (palette,
// dither, colour depth, core colour). OK is taken only when the fields
// resolve; otherwise the reason stays in the dialog, naming the field as
// the command line names its option.
class PrintDialog final : public QDialog {
    Q_OBJECT
public:
    explicit PrintDialog(QWidget* parent = nullptr);

    void setOptions(const kubelmar::PrintOptions& options);
    kubelmar::PrintOptions options() const;
    // The reason the fields don't resolve; empty when they do.
    QString problem() const;

    void accept() override;

private:
    QComboBox* palette_;  // editable: a built-in name or a palette file
    QComboBox* dither_;
    QLineEdit* colourDepth_;
    QLineEdit* coreColour_;
    QLabel* problem_;
};
