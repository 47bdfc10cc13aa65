#pragma once

#include <QList>
#include <QStringList>

#include "view/dialogs.h"

// Answers the file and directory dialogs from a queue (an empty answer, or
// none left, is a cancelled dialog) and records every question and message.
class FakeDialogs final : public Dialogs {
public:
    struct Message {
        QString kind;  // "critical" or "warning"
        QString title;
        QString text;
    };

    QStringList answers;
    QStringList captions;  // of every file or directory dialog, in order
    QStringList filters;   // of every file dialog
    QList<Message> messages;

    QString openFileName(QWidget*, const QString& caption, const QString& filter) override {
        filters << filter;
        return ask(caption);
    }
    QString existingDirectory(QWidget*, const QString& caption) override { return ask(caption); }
    void critical(QWidget*, const QString& title, const QString& text) override {
        messages.append({QStringLiteral("critical"), title, text});
    }
    void warning(QWidget*, const QString& title, const QString& text) override {
        messages.append({QStringLiteral("warning"), title, text});
    }

private:
    QString ask(const QString& caption) {
        captions << caption;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};
