#pragma once

#include <QString>

#include "colour/print_options.h"
#include "engine/grid_options.h"

class QWidget;

// The modal questions and messages of the desktop program. The main window
// and the view ask through this interface; QtDialogs shows Qt's standard
// dialogs, tests hand in answers of their own.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // An existing file; empty when the user cancels. The dialog starts in
    // `directory` (the working directory when empty).
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& filter,
                                 const QString& directory) = 0;
    // An existing directory, symbolic links left unresolved; the user may
    // make a new one in the dialog. Empty when the user cancels.
    virtual QString existingDirectory(QWidget* parent, const QString& caption, const QString& directory) = 0;
    // A message with a single OK button; returns when it is dismissed.
    virtual void critical(QWidget* parent, const QString& title, const QString& text) = 0;
    virtual void warning(QWidget* parent, const QString& title, const QString& text) = 0;
    // A yes-or-no question; true for yes.
    virtual bool question(QWidget* parent, const QString& title, const QString& text) = 0;
    // Settings > Grid...: the grid options, starting from `options`; false
    // when the user cancels. What it hands back resolves.
    virtual bool gridOptions(QWidget* parent, kubelmar::GridOptions& options) = 0;
    // Settings > Print...: the print options, starting from `options`;
    // false when the user cancels. What it hands back resolves.
    virtual bool printOptions(QWidget* parent, kubelmar::PrintOptions& options) = 0;
};
