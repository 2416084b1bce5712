#include "shell/welcome_window.hpp"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QtDebug>

#include "shell/app_settings.hpp"
#include "ui/welcome_view.hpp"

namespace inkwarden {

WelcomeWindow::WelcomeWindow(const HostStatus& host, QObject* parent) : QObject(parent), host_(host) {}

WelcomeWindow::~WelcomeWindow() = default;

void WelcomeWindow::show() {
    if (!window_) build();
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void WelcomeWindow::build() {
    window_ = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                                     Qt::CustomizeWindowHint);
    window_->setObjectName("welcomeWindow");
    window_->setWindowTitle(tr("Welcome to Inkwarden"));
    auto* layout = new QVBoxLayout(window_.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    view_ = new WelcomeView(false, [this] { window_->close(); }, host_, window_.get());
    connect(view_, &WelcomeView::tryItRequested, this, &WelcomeWindow::tryItRequested);
    layout->addWidget(view_);
    window_->installEventFilter(this);

    window_->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window_->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window_->move(frame.topLeft());
    }
}

bool WelcomeWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_.get() && event->type() == QEvent::Close) {
        try {
            AppSettings::setHasSeenWelcome(true);
        } catch (const std::exception& error) {
            qWarning("Could not store that the welcome was seen: %s", error.what());
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace inkwarden
