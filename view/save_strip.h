#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class ElidedLabel;
class QLabel;

// A one-line strip above the view that says what "Save Voxels..." will do
// before it is chosen: the mode, the voxel size and the output formats as
// the Settings menu names them, and where the last save went, as a link
// that opens that folder in the file manager.
class SaveStrip : public QWidget {
    Q_OBJECT

public:
    explicit SaveStrip(QWidget* parent = nullptr);

    // `formats`: the menu names of the formats chosen (none: only volume.json
    // is written).
    void setPlan(const QString& mode, const QString& grid, const QStringList& formats);
    // The whole text, also when the strip shows it shortened.
    QString planText() const;

    // Empty: no save yet.
    void setLastOutput(const QString& folder);
    const QString& lastOutput() const { return lastOutput_; }
    // The link the folder's label holds (a file: URL), empty when none.
    QString lastOutputLink() const;

    // As wide as the least it needs: the view, not this line, sets the
    // window's width.
    QSize sizeHint() const override;

private:
    ElidedLabel* plan_ = nullptr;
    QLabel* folder_ = nullptr;
    QString lastOutput_;
};
