#pragma once

#include <optional>

#include <QString>
#include <QWidget>

class QLabel;

namespace inkwarden {

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
QString statusTooltip(const HostState& state, int port);

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

    void setHostState(const HostState& state, int port);
    QString statusText() const;

private:
    QLabel* status_;
    StatusDot* dot_;
};

}  // namespace inkwarden
