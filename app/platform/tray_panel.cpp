#include "platform/tray_panel.hpp"

#include <algorithm>

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QWidget>

#include "ui/symbol.hpp"

namespace inkwarden {
namespace {

constexpr int kGap = 4;

}  // namespace

TrayPanel::TrayPanel(QWidget* panel, bool trayAvailable, QObject* parent) : QObject(parent), panel_(panel) {
    panel_->setWindowIcon(applicationIcon());
    if (!trayAvailable) {
        panel_->setWindowFlags(Qt::Window);
        return;
    }
    panel_->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
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
    showPanel();
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
