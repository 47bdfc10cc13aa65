// Settings > Grid...: the grid the next saves use, chosen in a dialog with
// the command line's fields and remembered between runs.
#include <QAction>
#include <QMenu>
#include <QSettings>

#include "app/window.h"
#include "view/dialogs.h"

namespace {

// The remembered options, one settings key per field ("grid/units", ...).
struct GridKey {
    const char* name;
    std::string kubelmar::GridOptions::*field;
};
constexpr GridKey kGridKeys[] = {
    {"grid/preset", &kubelmar::GridOptions::preset},   {"grid/shape", &kubelmar::GridOptions::grid},
    {"grid/voxelSize", &kubelmar::GridOptions::voxelSize}, {"grid/units", &kubelmar::GridOptions::units},
    {"grid/scale", &kubelmar::GridOptions::scale},     {"grid/dpi", &kubelmar::GridOptions::dpi},
    {"grid/layer", &kubelmar::GridOptions::layer},     {"grid/up", &kubelmar::GridOptions::up},
    {"grid/sliceAxis", &kubelmar::GridOptions::sliceAxis},
};

kubelmar::GridOptions rememberedGrid() {
    QSettings settings;
    kubelmar::GridOptions options;
    for (const GridKey& key : kGridKeys) options.*key.field = settings.value(key.name).toString().toStdString();
    return options;
}

void rememberGrid(const kubelmar::GridOptions& options) {
    QSettings settings;
    for (const GridKey& key : kGridKeys) {
        const std::string& value = options.*key.field;
        if (value.empty()) settings.remove(key.name);
        else settings.setValue(key.name, QString::fromStdString(value));
    }
}

}  // namespace

void Window::createGridAction(QMenu* settingsMenu) {
    gridAct_ = settingsMenu->addAction(tr("Grid..."), this, &Window::chooseGrid);
    gridAct_->setObjectName("gridAct");
    gridAct_->setStatusTip(tr("Box or cube, voxel edges per axis, units, scale and printer grids"));
    // Remembered options that no longer resolve (a preset since removed)
    // leave the cube, without a box before the window is up.
    kubelmar::GridSettings grid;
    if (kubelmar::resolveGridOptions(rememberedGrid(), grid, nullptr)) request_.settings.grid = grid;
}

void Window::chooseGrid() {
    kubelmar::GridOptions options = rememberedGrid();
    if (!dialogs_->gridOptions(this, options)) return;
    if (applyGrid(options)) rememberGrid(options);
}

bool Window::applyGrid(const kubelmar::GridOptions& options) {
    kubelmar::GridSettings grid;
    std::string why;
    if (!kubelmar::resolveGridOptions(options, grid, &why)) {
        dialogs_->warning(this, tr("Grid"), QString::fromStdString(why));
        return false;
    }
    request_.settings.grid = grid;
    updateSaveStrip();
    return true;
}
