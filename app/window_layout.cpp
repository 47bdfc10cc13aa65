// How the main window shares the screen with the Result panel: the window
// never opens larger than the screen's available area, and a panel docked
// beside the view never leaves the view less than half of the window's
// width. Where that can't be had, the panel goes below the view, or floats.
#include <QCloseEvent>
#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>
#include <QSettings>
#include <QStyle>

#include <algorithm>

#include "app/window.h"
#include "view/result_panel.h"

namespace {

// QSettings keys: where the user last put the panel ("right", "left",
// "bottom", "top" or "floating"), its width beside the view and its place
// when floating (widget pixels, screen coordinates).
const char kPanelPlace[] = "resultPanel/place";
const char kPanelWidth[] = "resultPanel/width";
const char kPanelFloating[] = "resultPanel/floatingGeometry";

// Before a window exists its frame is unknown: room for a usual title bar
// and borders.
const QSize kFrameAllowance(16, 48);

bool beside(Qt::DockWidgetArea area) { return area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea; }

QString placeName(Qt::DockWidgetArea area) {
    switch (area) {
        case Qt::LeftDockWidgetArea: return QStringLiteral("left");
        case Qt::TopDockWidgetArea: return QStringLiteral("top");
        case Qt::BottomDockWidgetArea: return QStringLiteral("bottom");
        default: return QStringLiteral("right");
    }
}

Qt::DockWidgetArea areaNamed(const QString& name) {
    if (name == QLatin1String("left")) return Qt::LeftDockWidgetArea;
    if (name == QLatin1String("top")) return Qt::TopDockWidgetArea;
    if (name == QLatin1String("bottom")) return Qt::BottomDockWidgetArea;
    return Qt::RightDockWidgetArea;
}

// `frame` moved (and if need be shrunk) so that it lies within `room`.
QRect within(QRect frame, const QRect& room) {
    frame.setSize(frame.size().boundedTo(room.size()));
    frame.moveLeft(std::clamp(frame.left(), room.left(), room.right() + 1 - frame.width()));
    frame.moveTop(std::clamp(frame.top(), room.top(), room.bottom() + 1 - frame.height()));
    return frame;
}

}  // namespace

QRect Window::screenRoom() const {
    const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
    return shown ? shown->availableGeometry() : QRect(0, 0, 1024, 768);
}

void Window::setVisible(bool visible) {
    if (visible && !shownOnce_) {
        // A size set before the first show (Qt's own first size keeps to
        // two thirds of the screen) is brought within the screen before the
        // window is made.
        shownOnce_ = true;
        fitIntoScreen(kFrameAllowance);
    }
    QMainWindow::setVisible(visible);
}

void Window::fitIntoScreen(QSize frame) {
    const QRect room = screenRoom();
    const QSize most = (room.size() - frame).expandedTo(minimumSize());
    if (width() > most.width() || height() > most.height()) resize(size().boundedTo(most));
    if (isVisible() || testAttribute(Qt::WA_Moved)) {
        const QRect placed = within(QRect(pos(), size() + frame), room);
        if (placed.topLeft() != pos()) move(placed.topLeft());
    }
}

void Window::showResultPanel() {
    placingPanel_ = true;
    const QRect room = screenRoom();
    const QString place = QSettings().value(kPanelPlace, QStringLiteral("right")).toString();
    const int panelWidth =
        std::max(QSettings().value(kPanelWidth, 0).toInt(), resultPanel_->minimumSizeHint().width());
    bool placed = false;
    if (place == QLatin1String("floating")) {
        floatResultPanel(room);
        placed = true;
    } else if (beside(areaNamed(place))) {
        placed = dockResultPanelBeside(room, panelWidth) || dockResultPanelBelow(room);
    } else {
        placed = dockResultPanelBelow(room) || dockResultPanelBeside(room, panelWidth);
    }
    if (!placed) floatResultPanel(room);
    panelPlace_ = currentPanelPlace();
    placingPanel_ = false;
    keepViewCentral(false);
}

bool Window::dockResultPanelBeside(const QRect& room, int panelWidth) {
    const int frameWidth = frameGeometry().width() - width();
    const int separator = style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, this);
    // The view keeps its width where the screen has room for both; else
    // the window takes the screen's width and they share it. Half of the
    // window for the view leaves the panel half less the splitter.
    const int view = centralWidget()->width();
    const int wanted =
        std::min(std::max(view, panelWidth + separator) + panelWidth + separator, room.width() - frameWidth);
    const int widest = wanted / 2 - separator;
    if (widest < panelWidth) return false;
    QString place = QSettings().value(kPanelPlace).toString();
    const Qt::DockWidgetArea area = beside(areaNamed(place)) ? areaNamed(place) : Qt::RightDockWidgetArea;
    resultPanel_->setFloating(false);
    if (dockWidgetArea(resultPanel_) != area) addDockWidget(area, resultPanel_);
    resultPanel_->setMaximumWidth(widest);
    resize(wanted, height());
    fitIntoScreen(frameGeometry().size() - size());
    resultPanel_->show();
    resizeDocks({resultPanel_}, {panelWidth}, Qt::Horizontal);
    return true;
}

bool Window::dockResultPanelBelow(const QRect& room) {
    const int frameHeight = frameGeometry().height() - height();
    const int separator = style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, this);
    const int panelHeight = resultPanel_->minimumSizeHint().height();
    const bool alreadyBelow = resultPanel_->isVisible() && !resultPanel_->isFloating() &&
                              !beside(dockWidgetArea(resultPanel_));
    const int chrome = height() - centralWidget()->height() - (alreadyBelow ? resultPanel_->height() + separator : 0);
    const int view = centralWidget()->height();
    const int wanted =
        std::min(chrome + std::max(view, panelHeight) + panelHeight + separator, room.height() - frameHeight);
    // Below, the view has the whole width; it keeps at least the panel's height.
    if (wanted - chrome - separator - panelHeight < panelHeight) return false;
    const QString place = QSettings().value(kPanelPlace).toString();
    const Qt::DockWidgetArea area = beside(areaNamed(place)) ? Qt::BottomDockWidgetArea : areaNamed(place);
    resultPanel_->setFloating(false);
    resultPanel_->setMaximumWidth(QWIDGETSIZE_MAX);
    if (dockWidgetArea(resultPanel_) != area) addDockWidget(area, resultPanel_);
    resize(width(), wanted);
    fitIntoScreen(frameGeometry().size() - size());
    resultPanel_->show();
    resizeDocks({resultPanel_}, {panelHeight}, Qt::Vertical);
    return true;
}

void Window::floatResultPanel(const QRect& room) {
    resultPanel_->setMaximumWidth(QWIDGETSIZE_MAX);
    resultPanel_->setFloating(true);
    QRect geometry = QSettings().value(kPanelFloating).toRect();
    if (!geometry.isValid()) {
        // Beside the window where the screen has room, else over its right side.
        const QSize size = resultPanel_->sizeHint().expandedTo(resultPanel_->minimumSizeHint());
        geometry = QRect(QPoint(frameGeometry().right() + 1, frameGeometry().top()), size);
    }
    resultPanel_->setGeometry(within(geometry, room));
    resultPanel_->show();
}

void Window::keepViewCentral(bool mayGrow) {
    if (placingPanel_) return;
    if (!resultPanel_->isVisible() || resultPanel_->isFloating() || !beside(dockWidgetArea(resultPanel_))) {
        resultPanel_->setMaximumWidth(QWIDGETSIZE_MAX);
        return;
    }
    const int separator = style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, this);
    const int widest = width() / 2 - separator;
    if (resultPanel_->minimumSizeHint().width() <= widest) {
        // Dragging the splitter can't take the view below half either.
        resultPanel_->setMaximumWidth(widest);
        return;
    }
    // Too narrow now for both side by side. Where the user has just put
    // the panel there, the window grows if the screen allows; a window the
    // user has just made narrower is left so.
    placingPanel_ = true;
    const QRect room = screenRoom();
    const int panelWidth = resultPanel_->minimumSizeHint().width();
    if (!(mayGrow && dockResultPanelBeside(room, panelWidth)) && !dockResultPanelBelow(room)) floatResultPanel(room);
    panelPlace_ = currentPanelPlace();
    placingPanel_ = false;
}

QString Window::currentPanelPlace() const {
    return resultPanel_->isFloating() ? QStringLiteral("floating") : placeName(dockWidgetArea(resultPanel_));
}

void Window::resultPanelMoved() {
    if (placingPanel_) return;
    if (currentPanelPlace() != panelPlace_) {
        panelPlace_ = currentPanelPlace();
        rememberResultPanel(true);
    }
    keepViewCentral(true);
}

void Window::rememberResultPanel(bool place) const {
    QSettings settings;
    if (resultPanel_->isFloating()) {
        if (place) settings.setValue(kPanelPlace, QStringLiteral("floating"));
        if (resultPanel_->isVisible()) settings.setValue(kPanelFloating, resultPanel_->geometry());
        return;
    }
    const Qt::DockWidgetArea area = dockWidgetArea(resultPanel_);
    if (place) settings.setValue(kPanelPlace, placeName(area));
    if (beside(area) && resultPanel_->isVisible()) settings.setValue(kPanelWidth, resultPanel_->width());
}

void Window::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    keepViewCentral(false);
}

void Window::closeEvent(QCloseEvent* event) {
    rememberResultPanel(false);
    QMainWindow::closeEvent(event);
}
