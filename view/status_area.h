#pragma once

#include <QStatusBar>
#include <QString>

class ElidedLabel;

// The main window's status bar. Two things that must not run into each
// other: the loaded mesh's facts in a permanent widget on the right, and a
// note (what the last load, save or batch did) in the temporary area on
// the left. Each is shortened with "…" when the bar is too narrow for both;
// the facts never take more than half of the bar while a note is shown.
// A menu's status tip covers the note only while the pointer is on the
// entry; then the note comes back.
class StatusArea : public QStatusBar {
    Q_OBJECT

public:
    explicit StatusArea(QWidget* parent = nullptr);

    void setMeshFacts(const QString& facts);
    QString meshFacts() const;
    // The facts as shown (ending "…" when shortened).
    QString shownMeshFacts() const;

    // A note stays until another replaces it or clearNote().
    void showNote(const QString& note);
    void clearNote();
    const QString& note() const { return note_; }
    // Where the note is drawn, in the bar's pixels: left of the facts.
    QRect noteRect() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layOut();
    void restoreNote(const QString& message);

    ElidedLabel* facts_ = nullptr;
    QString note_;
    QString shownNote_;
};
