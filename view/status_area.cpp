#include "view/status_area.h"

#include <QFontMetrics>
#include <QResizeEvent>

#include <algorithm>

#include "view/elided_label.h"

namespace {

// QStatusBar draws its message 6 pixels in from the left and keeps 2
// pixels clear of the first permanent widget.
constexpr int kMessageInset = 6 + 2;

}  // namespace

StatusArea::StatusArea(QWidget* parent) : QStatusBar(parent) {
    facts_ = new ElidedLabel(this);
    facts_->setObjectName(QStringLiteral("meshStatus"));
    addPermanentWidget(facts_);
    connect(this, &QStatusBar::messageChanged, this, &StatusArea::restoreNote);
}

void StatusArea::setMeshFacts(const QString& facts) {
    facts_->setFullText(facts);
    layOut();
}

QString StatusArea::meshFacts() const { return facts_->fullText(); }

QString StatusArea::shownMeshFacts() const { return facts_->text(); }

void StatusArea::showNote(const QString& note) {
    note_ = note;
    layOut();
}

void StatusArea::clearNote() {
    note_.clear();
    shownNote_.clear();
    clearMessage();
    layOut();
}

QRect StatusArea::noteRect() const {
    // The facts' place as the layout will set it: at most their cap, right
    // aligned before the size grip.
    const int factsWidth = std::min(facts_->sizeHint().width(), facts_->maximumWidth());
    const int grip = isSizeGripEnabled() ? 16 : 0;
    const int right = width() - grip - factsWidth - 6 - kMessageInset;
    return {kMessageInset - 2, 0, std::max(right - (kMessageInset - 2), 0), height()};
}

void StatusArea::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    layOut();
}

void StatusArea::layOut() {
    // Without a note the facts may use the whole bar; with one, the note
    // gets what it needs up to half of it.
    const int noteWidth = note_.isEmpty() ? 0 : fontMetrics().horizontalAdvance(note_) + 4 * kMessageInset;
    const int cap = std::max(width() - noteWidth, width() / 2);
    facts_->setMaximumWidth(std::max(cap, facts_->minimumSizeHint().width()));
    if (note_.isEmpty()) return;
    shownNote_ = fontMetrics().elidedText(note_, Qt::ElideRight, noteRect().width());
    if (currentMessage() != shownNote_) showMessage(shownNote_);
}

void StatusArea::restoreNote(const QString& message) {
    // A status tip replaced the note and has gone: the note comes back.
    if (message.isEmpty() && !shownNote_.isEmpty()) showMessage(shownNote_);
}
