#pragma once

#include <QLabel>
#include <QString>

// A one-line label that shortens its text with "…" to the width its layout
// gives it, instead of asking for the whole text's width (a plain QLabel
// would widen the window, or be cut mid-word). The whole text is its tool
// tip while it is shortened.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr, Qt::TextElideMode mode = Qt::ElideRight);

    void setFullText(const QString& text);
    const QString& fullText() const { return fullText_; }
    // text() is what is shown: the full text, or a shortened one ending "…".

    QSize sizeHint() const override;         // the whole text
    QSize minimumSizeHint() const override;  // room for "…" and a little

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void elide();

    QString fullText_;
    Qt::TextElideMode mode_;
};
