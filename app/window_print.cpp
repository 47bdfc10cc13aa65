// Settings > Print...: the palette, dither, colour depth and core colour the
// next saves use, chosen in a dialog with the command line's fields and
// remembered between runs.
#include <QAction>
#include <QMenu>
#include <QSettings>

#include "app/window.h"
#include "view/dialogs.h"

namespace {

struct PrintKey {
    const char* name;
    std::string kubelmar::PrintOptions::*field;
};
constexpr PrintKey kPrintKeys[] = {
    {"print/palette", &kubelmar::PrintOptions::palette},
    {"print/dither", &kubelmar::PrintOptions::dither},
    {"print/colourDepth", &kubelmar::PrintOptions::colourDepth},
    {"print/coreColour", &kubelmar::PrintOptions::coreColour},
};

kubelmar::PrintOptions rememberedPrint() {
    QSettings settings;
    kubelmar::PrintOptions options;
    for (const PrintKey& key : kPrintKeys) options.*key.field = settings.value(key.name).toString().toStdString();
    return options;
}

void rememberPrint(const kubelmar::PrintOptions& options) {
    QSettings settings;
    for (const PrintKey& key : kPrintKeys) {
        const std::string& value = options.*key.field;
        if (value.empty()) settings.remove(key.name);
        else settings.setValue(key.name, QString::fromStdString(value));
    }
}

// The colour depth applies to the solid modes and the clipping mode ignores
// it, so the options are resolved as for a solid.
bool resolve(const kubelmar::PrintOptions& options, kubelmar::PrintSettings& print, std::string* why) {
    return kubelmar::resolvePrintOptions(options, kubelmar::VoxelMode::Parity, print, why);
}

}  // namespace

void Window::createPrintAction(QMenu* settingsMenu) {
    printAct_ = settingsMenu->addAction(tr("Print..."), this, &Window::choosePrint);
    printAct_->setObjectName("printAct");
    printAct_->setStatusTip(tr("Materials, dithering and colour depth for full-colour printing"));
    // Remembered options that no longer resolve (a palette file since
    // removed) leave printing off.
    kubelmar::PrintSettings print;
    if (resolve(rememberedPrint(), print, nullptr)) request_.settings.print = print;
}

void Window::choosePrint() {
    kubelmar::PrintOptions options = rememberedPrint();
    if (!dialogs_->printOptions(this, options)) return;
    if (applyPrint(options)) rememberPrint(options);
}

bool Window::applyPrint(const kubelmar::PrintOptions& options) {
    kubelmar::PrintSettings print;
    std::string why;
    if (!resolve(options, print, &why)) {
        dialogs_->warning(this, tr("Print"), QString::fromStdString(why));
        return false;
    }
    request_.settings.print = print;
    updateSaveStrip();
    return true;
}
