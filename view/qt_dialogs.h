#pragma once

#include "view/dialogs.h"

// Dialogs through QFileDialog and QMessageBox.
class QtDialogs final : public Dialogs {
public:
    // The instance that windows and views use when they are given none.
    static QtDialogs& shared();

    QString openFileName(QWidget* parent, const QString& caption, const QString& filter,
                         const QString& directory) override;
    QString existingDirectory(QWidget* parent, const QString& caption, const QString& directory) override;
    void critical(QWidget* parent, const QString& title, const QString& text) override;
    void warning(QWidget* parent, const QString& title, const QString& text) override;
    bool question(QWidget* parent, const QString& title, const QString& text) override;
    bool gridOptions(QWidget* parent, kubelmar::GridOptions& options) override;
    bool printOptions(QWidget* parent, kubelmar::PrintOptions& options) override;
};
