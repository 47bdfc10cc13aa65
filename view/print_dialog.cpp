#include "view/print_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "colour/palette_file.h"

PrintDialog::PrintDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Print"));
    palette_ = new QComboBox(this);
    palette_->setEditable(true);
    palette_->addItem("");
    for (const kubelmar::MaterialPalette& p : kubelmar::builtInPalettes()) palette_->addItem(QString::fromStdString(p.name));
    palette_->setToolTip(tr("A built-in palette, or the path of a palette file (JSON); empty: no materials"));
    dither_ = new QComboBox(this);
    for (const char* name : {"none", "diffusion", "blue-noise"}) dither_->addItem(name, QString::fromLatin1(name));
    colourDepth_ = new QLineEdit(this);
    colourDepth_->setPlaceholderText(tr("voxels; empty: a plain core (solid modes only)"));
    coreColour_ = new QLineEdit(this);
    coreColour_->setPlaceholderText(tr("white"));
    problem_ = new QLabel(this);
    problem_->setObjectName("printProblem");
    problem_->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(tr("Palette:"), palette_);
    form->addRow(tr("Dither:"), dither_);
    form->addRow(tr("Colour depth:"), colourDepth_);
    form->addRow(tr("Core colour:"), coreColour_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PrintDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PrintDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
}

void PrintDialog::setOptions(const kubelmar::PrintOptions& o) {
    palette_->setCurrentText(QString::fromStdString(o.palette));
    const int dither = dither_->findData(QString::fromStdString(o.dither));
    dither_->setCurrentIndex(dither < 0 ? 0 : dither);
    colourDepth_->setText(QString::fromStdString(o.colourDepth));
    coreColour_->setText(QString::fromStdString(o.coreColour));
    problem_->clear();
}

kubelmar::PrintOptions PrintDialog::options() const {
    kubelmar::PrintOptions o;
    o.palette = palette_->currentText().trimmed().toStdString();
    o.dither = dither_->currentData().toString().toStdString();
    if (o.dither == "none") o.dither.clear();
    o.colourDepth = colourDepth_->text().trimmed().toStdString();
    o.coreColour = coreColour_->text().trimmed().toStdString();
    return o;
}

QString PrintDialog::problem() const {
    kubelmar::PrintSettings settings;
    std::string why;
    // The colour depth applies to the solid modes; the clipping mode ignores it.
    if (kubelmar::resolvePrintOptions(options(), kubelmar::VoxelMode::Parity, settings, &why)) return {};
    return QString::fromStdString(why);
}

void PrintDialog::accept() {
    const QString why = problem();
    problem_->setText(why);
    if (why.isEmpty()) QDialog::accept();
}
