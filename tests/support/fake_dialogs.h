#pragma once

#include <QList>
#include <QStringList>

#include <optional>

#include "view/dialogs.h"

// Answers file and directory dialogs from a queue (an empty answer, or none
// left, is a cancelled dialog) and records every question and message.
class FakeDialogs final : public Dialogs {
public:
    struct Message {
        QString kind, title, text;  // kind: "critical", "warning" or "question"
    };
    QStringList answers;
    QStringList captions;  // of every file or directory dialog, in order
    QStringList filters;   // of every file dialog
    QStringList starts;    // the start directory of every file or directory dialog
    QList<Message> messages;

    QString openFileName(QWidget*, const QString& caption, const QString& filter, const QString& start) override {
        filters << filter;
        return existingDirectory(nullptr, caption, start);
    }
    QString existingDirectory(QWidget*, const QString& caption, const QString& start) override {
        captions << caption;
        starts << start;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    void critical(QWidget*, const QString& title, const QString& text) override {
        messages.append({"critical", title, text});
    }
    void warning(QWidget*, const QString& title, const QString& text) override {
        messages.append({"warning", title, text});
    }
    // Questions are answered from `yes` (no when none is left).
    QList<bool> yes;
    bool question(QWidget*, const QString& title, const QString& text) override {
        messages.append({"question", title, text});
        return !yes.isEmpty() && yes.takeFirst();
    }
    // The Grid dialog hands back `grid` when set (cancelled otherwise);
    // `gridShown` is what it was opened with.
    std::optional<kubelmar::GridOptions> grid;
    kubelmar::GridOptions gridShown;
    bool gridOptions(QWidget*, kubelmar::GridOptions& options) override {
        gridShown = options;
        if (!grid) return false;
        options = *grid;
        return true;
    }
    // The Print dialog likewise, with `print` and `printShown`.
    std::optional<kubelmar::PrintOptions> print;
    kubelmar::PrintOptions printShown;
    bool printOptions(QWidget*, kubelmar::PrintOptions& options) override {
        printShown = options;
        if (!print) return false;
        options = *print;
        return true;
    }
};
