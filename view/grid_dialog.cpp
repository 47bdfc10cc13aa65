#include "view/grid_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

// Combo entries carry the option's text as data; "" is "not given".
QComboBox* choices(QWidget* parent, const QList<std::pair<QString, QString>>& entries) {
    auto* box = new QComboBox(parent);
    for (const auto& [label, value] : entries) box->addItem(label, value);
    return box;
}

void choose(QComboBox* box, const std::string& value) {
    const int index = box->findData(QString::fromStdString(value));
    box->setCurrentIndex(index < 0 ? 0 : index);
}

std::string chosen(const QComboBox* box) { return box->currentData().toString().toStdString(); }

std::string text(const QLineEdit* edit) { return edit->text().trimmed().toStdString(); }

}  // namespace

GridDialog::GridDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Grid"));
    QList<std::pair<QString, QString>> presets{{tr("None"), ""}};
    for (const kubelmar::GridPreset& p : kubelmar::gridPresets())
        presets.append({QString::fromStdString(p.name), QString::fromStdString(p.name)});
    preset_ = choices(this, presets);
    shape_ = choices(this, {{tr("Cube around the mesh"), ""}, {tr("The mesh's box"), "box"}});
    voxelSize_ = new QLineEdit(this);
    voxelSize_->setPlaceholderText(tr("from the voxel size menu; or S, or SX,SY,SZ"));
    units_ = choices(this, {{tr("Not said"), ""}, {"mm", "mm"}, {"cm", "cm"}, {"m", "m"}, {"in", "in"}});
    scale_ = new QLineEdit(this);
    scale_->setPlaceholderText("1");
    dpi_ = new QLineEdit(this);
    dpi_->setPlaceholderText(tr("X or X,Y (printer grids)"));
    layer_ = new QLineEdit(this);
    layer_->setPlaceholderText(tr("layer thickness, e.g. 0.027mm"));
    const QList<std::pair<QString, QString>> axes{{tr("Default"), ""}, {"x", "x"}, {"y", "y"}, {"z", "z"}};
    up_ = choices(this, axes);
    sliceAxis_ = choices(this, axes);
    problem_ = new QLabel(this);
    problem_->setObjectName("gridProblem");
    problem_->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(tr("Preset:"), preset_);
    form->addRow(tr("Grid:"), shape_);
    form->addRow(tr("Voxel size:"), voxelSize_);
    form->addRow(tr("Mesh units:"), units_);
    form->addRow(tr("Scale:"), scale_);
    form->addRow(tr("Dots per inch:"), dpi_);
    form->addRow(tr("Layer:"), layer_);
    form->addRow(tr("Build direction:"), up_);
    form->addRow(tr("Slice axis:"), sliceAxis_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &GridDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &GridDialog::reject);
    connect(preset_, &QComboBox::activated, this, &GridDialog::presetChosen);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
}

void GridDialog::setOptions(const kubelmar::GridOptions& o) {
    choose(preset_, o.preset);
    choose(shape_, o.grid == "box" ? "box" : "");
    voxelSize_->setText(QString::fromStdString(o.voxelSize));
    choose(units_, o.units);
    scale_->setText(QString::fromStdString(o.scale));
    dpi_->setText(QString::fromStdString(o.dpi));
    layer_->setText(QString::fromStdString(o.layer));
    choose(up_, o.up);
    choose(sliceAxis_, o.sliceAxis);
    problem_->clear();
}

kubelmar::GridOptions GridDialog::options() const {
    kubelmar::GridOptions o;
    o.preset = chosen(preset_);
    o.grid = chosen(shape_);
    o.voxelSize = text(voxelSize_);
    o.units = chosen(units_);
    o.scale = text(scale_);
    o.dpi = text(dpi_);
    o.layer = text(layer_);
    o.up = chosen(up_);
    o.sliceAxis = chosen(sliceAxis_);
    return o;
}

QString GridDialog::problem() const {
    kubelmar::GridSettings settings;
    std::string why;
    if (kubelmar::resolveGridOptions(options(), settings, &why)) return {};
    return QString::fromStdString(why);
}

void GridDialog::accept() {
    const QString why = problem();
    problem_->setText(why);
    if (why.isEmpty()) QDialog::accept();
}

// A preset fills the fields with what it bundles, so the user sees (and may
// change) every value it sets.
void GridDialog::presetChosen() {
    const std::string name = chosen(preset_);
    for (const kubelmar::GridPreset& p : kubelmar::gridPresets()) {
        if (p.name != name) continue;
        kubelmar::GridOptions o = p.options;
        o.preset = name;
        setOptions(o);
        preset_->setToolTip(QString::fromStdString(p.description));
    }
}
