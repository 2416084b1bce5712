#pragma once

#include <functional>
#include <optional>

#include <QString>
#include <QWidget>

class QLabel;

namespace inkwarden {

class HostStatus;

/// What the panel's header shows of the local host.
struct HostState {
    bool running = false;
    std::optional<QString> problem;
    std::optional<QString> lastClient;

    bool operator==(const HostState&) const = default;
};

/// "Connected: <name>", "Ready for your AI" or "Not running".
QString statusLine(const HostState& state);

/// The problem when there is one, else where the host listens on `port`.
QString statusTooltip(const HostState& state, long long port);

/// The state of `status` as the header shows it.
HostState hostStateOf(const HostStatus& status);

/// The dot beside the status line: green while the host runs, orange otherwise.
class StatusDot : public QWidget {
    Q_OBJECT

public:
    explicit StatusDot(QWidget* parent = nullptr);

    void setRunning(bool running);
    bool isRunning() const noexcept { return running_; }
    QColor color() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool running_ = false;
};

/// The panel's first row: the title, the status dot and the status line, with the tooltip.
class StatusHeader : public QWidget {
    Q_OBJECT

public:
    explicit StatusHeader(QWidget* parent = nullptr);

    void setHostState(const HostState& state, long long port);

    /// Shows `status` now and again whenever it changes, with the port `port` reads at that
    /// moment, for as long as both live.
    void follow(const HostStatus& status, std::function<long long()> port);
    QString statusText() const;

private:
    QLabel* status_;
    StatusDot* dot_;
};

}  // namespace inkwarden
