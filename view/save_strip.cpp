#include "view/save_strip.h"

#include <QDesktopServices>
#include <QDir>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QUrl>

#include "view/elided_label.h"

namespace {

// The folder's path is shortened in the middle past this many pixels, so
// that both ends (where it is, what it is called) stay readable.
constexpr int kFolderTextWidth = 320;

}  // namespace

SaveStrip::SaveStrip(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("saveStrip"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->setSpacing(12);
    plan_ = new ElidedLabel(this);
    plan_->setObjectName(QStringLiteral("savePlan"));
    folder_ = new QLabel(this);
    folder_->setObjectName(QStringLiteral("lastOutput"));
    folder_->setTextFormat(Qt::RichText);
    folder_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(folder_, &QLabel::linkActivated, this, [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
    layout->addWidget(plan_, 1);
    layout->addWidget(folder_);
    setLastOutput({});
}

void SaveStrip::setPlan(const QString& mode, const QString& grid, const QStringList& formats) {
    plan_->setFullText(tr("Next save: %1 · %2 · %3")
                           .arg(mode)
                           .arg(grid)
                           .arg(formats.isEmpty() ? tr("volume.json only") : formats.join(QStringLiteral(", "))));
}

QString SaveStrip::planText() const { return plan_->fullText(); }

void SaveStrip::setLastOutput(const QString& folder) {
    lastOutput_ = folder;
    if (folder.isEmpty()) {
        folder_->setText(tr("Last output: none yet"));
        folder_->setToolTip({});
        return;
    }
    const QString path = QDir::toNativeSeparators(folder);
    const QString shown = folder_->fontMetrics().elidedText(path, Qt::ElideMiddle, kFolderTextWidth);
    folder_->setText(tr("Last output: <a href=\"%1\">%2</a>")
                         .arg(lastOutputLink().toHtmlEscaped(), shown.toHtmlEscaped()));
    folder_->setToolTip(tr("Open %1").arg(path));
}

QSize SaveStrip::sizeHint() const { return {minimumSizeHint().width(), QWidget::sizeHint().height()}; }

QString SaveStrip::lastOutputLink() const {
    return lastOutput_.isEmpty() ? QString() : QUrl::fromLocalFile(lastOutput_).toString();
}
