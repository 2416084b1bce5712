#pragma once

#include <memory>

#include <QObject>
#include <QWidget>

namespace inkwarden {

class HostStatus;
class WelcomeView;

/// The one welcome window of the run: built on the first `show`, kept when closed and shown
/// again with its view's state. Every close, by Done or by the window's close button, stores
/// "hasSeenWelcome". Main thread only.
class WelcomeWindow : public QObject {
    Q_OBJECT

public:
    explicit WelcomeWindow(const HostStatus& host, QObject* parent = nullptr);
    ~WelcomeWindow() override;

    /// Builds the window when there is none yet, then brings it to the front as the active window.
    void show();

    /// The window, or null before the first `show`.
    QWidget* window() const noexcept { return window_.get(); }
    WelcomeView* view() const noexcept { return view_; }

Q_SIGNALS:
    /// The view's "Try It" was clicked.
    void tryItRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();

    const HostStatus& host_;
    std::unique_ptr<QWidget> window_;
    WelcomeView* view_ = nullptr;
};

}  // namespace inkwarden
