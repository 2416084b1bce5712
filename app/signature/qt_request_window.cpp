#include "signature/qt_request_window.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace inkwarden {

/// The dialog under a request window: routes the close button and Escape to the gate.
class RequestDialog final : public QDialog {
public:
    explicit RequestDialog(QWidget* content) {
        setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                       Qt::WindowStaysOnTopHint);
        setWindowTitle(QString());
        setAttribute(Qt::WA_DeleteOnClose, false);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        // The window takes its content's size once and keeps it.
        layout->setSizeConstraint(QLayout::SetFixedSize);
        layout->addWidget(content);
    }

    std::function<void()> closeHandler;

protected:
    void closeEvent(QCloseEvent* event) override {
        if (auto handler = closeHandler) handler();
        QDialog::closeEvent(event);
    }

    void reject() override {
        if (auto handler = closeHandler) handler();
        else QDialog::reject();
    }
};

std::unique_ptr<RequestWindow> QtRequestWindow::wrap(QWidget* content) {
    return std::unique_ptr<RequestWindow>(new QtRequestWindow(content));
}

QtRequestWindow::QtRequestWindow(QWidget* content) : dialog_(new RequestDialog(content)) {}

QtRequestWindow::~QtRequestWindow() {
    if (dialog_) dialog_->deleteLater();
}

void QtRequestWindow::setCloseHandler(std::function<void()> handler) {
    if (dialog_) dialog_->closeHandler = std::move(handler);
}

void QtRequestWindow::show() {
    if (!dialog_) return;
    dialog_->adjustSize();
    if (auto* screen = QGuiApplication::primaryScreen()) {
        auto frame = dialog_->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        dialog_->move(frame.topLeft());
    }
    dialog_->show();
    dialog_->raise();
    // The desktop may refuse to move focus to us; the window is on top either way.
    dialog_->activateWindow();
}

void QtRequestWindow::close() {
    if (!dialog_) return;
    dialog_->closeHandler = nullptr;
    dialog_->hide();
    // Later: this may run inside the content's own click handler.
    dialog_->deleteLater();
    dialog_ = nullptr;
}

QWidget* QtRequestWindow::widget() const {
    return dialog_;
}

}  // namespace inkwarden
