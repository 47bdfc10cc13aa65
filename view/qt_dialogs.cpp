#include "view/qt_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

#include "view/grid_dialog.h"
#include "view/print_dialog.h"

QtDialogs& QtDialogs::shared() {
    static QtDialogs dialogs;
    return dialogs;
}

QString QtDialogs::openFileName(QWidget* parent, const QString& caption, const QString& filter,
                                const QString& directory) {
    return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}

QString QtDialogs::existingDirectory(QWidget* parent, const QString& caption, const QString& directory) {
    // Neither ReadOnly nor a native dialog that lacks it: the dialog keeps
    // its "Create New Folder" button, so a save can go into a new folder.
    return QFileDialog::getExistingDirectory(parent, caption, directory,
                                             QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

void QtDialogs::critical(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::critical(parent, title, text, QMessageBox::Ok, QMessageBox::NoButton);
}

void QtDialogs::warning(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::warning(parent, title, text, QMessageBox::Ok, QMessageBox::NoButton);
}

bool QtDialogs::question(QWidget* parent, const QString& title, const QString& text) {
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

bool QtDialogs::printOptions(QWidget* parent, kubelmar::PrintOptions& options) {
    PrintDialog dialog(parent);
    dialog.setOptions(options);
    if (dialog.exec() != QDialog::Accepted) return false;
    options = dialog.options();
    return true;
}

bool QtDialogs::gridOptions(QWidget* parent, kubelmar::GridOptions& options) {
    GridDialog dialog(parent);
    dialog.setOptions(options);
    if (dialog.exec() != QDialog::Accepted) return false;
    options = dialog.options();
    return true;
}
