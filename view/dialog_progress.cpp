#include "view/dialog_progress.h"

#include <QProgressDialog>
#include <QString>

DialogProgress::DialogProgress(QWidget* parent, std::function<void()> afterEvents)
    : parent_(parent), afterEvents_(std::move(afterEvents)) {}

DialogProgress::~DialogProgress() = default;

void DialogProgress::setLabelPrefix(const QString& prefix) {
    prefix_ = prefix;
}

void DialogProgress::begin(const std::string& label, int maximum) {
    // The labels are the engine's own texts and are shown untranslated.
    dialog_ = std::make_unique<QProgressDialog>(prefix_ + QString::fromStdString(label), QStringLiteral("Cancel"), 0,
                                                maximum, parent_);
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setMinimumDuration(0);
}

void DialogProgress::setValue(int value) {
    if (!dialog_) return;
    dialog_->setValue(value);
    if (afterEvents_) afterEvents_();
}

void DialogProgress::end() { dialog_.reset(); }
