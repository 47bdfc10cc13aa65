#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QString>

#include "volume/progress.h"

class QProgressDialog;
class QWidget;

// The engine's progress steps as window-modal progress dialogs: one dialog
// per step, labelled with the step's text as it is, shown at once. Its
// "Cancel" button only raises cancelled(); the caller decides where the
// work stops (the runner, between slabs and slices).
//
// Setting a value lets Qt process events, and a repaint of any OpenGL widget
// makes that widget's context current. `afterEvents` runs after every value
// so a caller doing GL work can make its own context current again.
class DialogProgress final : public kubelmar::Progress {
public:
    explicit DialogProgress(QWidget* parent, std::function<void()> afterEvents = {});
    ~DialogProgress() override;
    DialogProgress(const DialogProgress&) = delete;
    DialogProgress& operator=(const DialogProgress&) = delete;

    // Shown before every step's label from now on, e.g. the file a batch
    // is at ("chair.obj (2 of 5): ").
    void setLabelPrefix(const QString& prefix);

    void begin(const std::string& label, int maximum) override;
    void setValue(int value) override;
    void end() override;
    // True from the moment the user pressed Cancel on any step's dialog.
    bool cancelled() const override { return cancelled_; }

private:
    QWidget* parent_;
    std::function<void()> afterEvents_;
    QString prefix_;
    bool cancelled_ = false;
    std::unique_ptr<QProgressDialog> dialog_;
};
