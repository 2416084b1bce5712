#pragma once

#include "signature/request_gate.hpp"

#include <QPointer>

#include <memory>

class QWidget;

namespace inkwarden {

class RequestDialog;

/// A request window on the screen: titled and closable only, with no visible title, above other
/// windows, as large as its content needs and centred. Escape and the close button call the
/// close handler. Main thread only.
class QtRequestWindow final : public RequestWindow {
public:
    /// Takes ownership of `content`.
    static std::unique_ptr<RequestWindow> wrap(QWidget* content);

    ~QtRequestWindow() override;

    void setCloseHandler(std::function<void()> handler) override;
    void show() override;
    void close() override;

    /// The window's widget while it exists, for tests and screenshots.
    QWidget* widget() const;

private:
    explicit QtRequestWindow(QWidget* content);

    QPointer<RequestDialog> dialog_;
};

}  // namespace inkwarden
