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
    // What is left of a cancelled run is winding down: no more dialogs.
    if (cancelled_) return;
    // The labels are the engine's own texts and are shown untranslated.
    dialog_ = std::make_unique<QProgressDialog>(prefix_ + QString::fromStdString(label), QStringLiteral("Cancel"), 0,
                                                maximum, parent_);
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setMinimumDuration(0);
    QObject::connect(dialog_.get(), &QProgressDialog::canceled, [this] { cancelled_ = true; });
}

void DialogProgress::setValue(int value) {
    if (!dialog_) return;
    dialog_->setValue(value);
    // Escape or closing the dialog cancels it without the button's signal.
    if (dialog_->wasCanceled()) cancelled_ = true;
    if (afterEvents_) afterEvents_();
}

void DialogProgress::end() { dialog_.reset(); }
