#include "platform/tray_panel.hpp"

#include <algorithm>

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QWidget>

#include "ui/symbol.hpp"

namespace inkwarden {
namespace {

constexpr int kGap = 4;
// A click on the tray icon first closes the open popup (a click outside it), then activates
// the icon: an activation this soon after the popup closed was that same click.
constexpr qint64 kSameClickMs = 300;

}  // namespace

TrayPanel::TrayPanel(QWidget* panel, bool trayAvailable, QObject* parent) : QObject(parent), panel_(panel) {
    panel_->setWindowIcon(applicationIcon());
    if (!trayAvailable) {
        panel_->setWindowFlags(Qt::Window);
        return;
    }
    panel_->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    panel_->installEventFilter(this);
    tray_ = new QSystemTrayIcon(trayIcon(), this);
    tray_->setToolTip(QStringLiteral("Inkwarden"));
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context) togglePanel();
    });
    tray_->show();
}

TrayPanel::~TrayPanel() { delete panel_; }

void TrayPanel::showPanel() {
    if (tray_) {
        panel_->adjustSize();
        QRect icon = tray_->geometry();
        if (!icon.isValid()) icon = QRect(QCursor::pos(), QSize(1, 1));
        QScreen* screen = QGuiApplication::screenAt(icon.center());
        if (!screen) screen = QGuiApplication::primaryScreen();
        panel_->move(popupPosition(icon, panel_->size(), screen->availableGeometry()));
    }
    panel_->show();
    panel_->raise();
    panel_->activateWindow();
}

void TrayPanel::togglePanel() {
    if (panel_->isVisible() && tray_) {
        panel_->hide();
        return;
    }
    if (tray_ && sinceHidden_.isValid() && sinceHidden_.elapsed() < kSameClickMs) return;
    showPanel();
}

bool TrayPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panel_ && event->type() == QEvent::Hide) sinceHidden_.start();
    return QObject::eventFilter(watched, event);
}

QPoint TrayPanel::popupPosition(const QRect& icon, const QSize& panel, const QRect& available) {
    const bool topBar = icon.center().y() < available.center().y();
    int y = topBar ? icon.bottom() + 1 + kGap : icon.top() - kGap - panel.height();
    int x = icon.center().x() - panel.width() / 2;
    x = std::clamp(x, available.left(), std::max(available.left(), available.right() + 1 - panel.width()));
    y = std::clamp(y, available.top(), std::max(available.top(), available.bottom() + 1 - panel.height()));
    return {x, y};
}

}  // namespace inkwarden
