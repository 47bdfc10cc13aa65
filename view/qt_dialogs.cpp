#include "view/qt_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

QtDialogs& QtDialogs::shared() {
    static QtDialogs dialogs;
    return dialogs;
}

QString QtDialogs::openFileName(QWidget* parent, const QString& caption, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

QString QtDialogs::existingDirectory(QWidget* parent, const QString& caption) {
    return QFileDialog::getExistingDirectory(parent, caption, QString(),
                                             QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

void QtDialogs::critical(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::critical(parent, title, text, QMessageBox::Ok, QMessageBox::NoButton);
}

void QtDialogs::warning(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::warning(parent, title, text, QMessageBox::Ok, QMessageBox::NoButton);
}
