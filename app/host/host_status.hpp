#pragma once

#include <optional>
#include <string>

#include <QObject>
#include <QString>

namespace inkwarden {

/// What the panel shows of the local host: whether it listens, the last start or listener
/// problem, and the AI client that last named itself.
///
/// Confined to the main thread: the runtime thread changes it only through MainThread. Each
/// signal is emitted only when its value really changes.
class HostStatus final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool running READ running NOTIFY runningChanged)
    Q_PROPERTY(QString problem READ problemText NOTIFY problemChanged)
    Q_PROPERTY(QString lastClient READ lastClientText NOTIFY lastClientChanged)

public:
    /// How the listener ended its last change.
    enum class ListenerState { ready, failed, cancelled };

    explicit HostStatus(QObject* parent = nullptr);

    bool running() const noexcept { return running_; }
    const std::optional<std::string>& problem() const noexcept { return problem_; }
    const std::optional<std::string>& lastClient() const noexcept { return lastClient_; }

    void setRunning(bool running);
    void setProblem(std::optional<std::string> problem);
    void setLastClient(std::optional<std::string> client);

    /// Applies a listener state reported for `port`: ready sets running and clears the problem;
    /// failed clears running and sets the problem to "Port <port>: <description>"; cancelled
    /// clears running.
    void update(ListenerState state, long long port, const std::string& description = {});

    /// The name the user is told: `client` when given, else the last client, else "Your AI".
    std::string name(const std::optional<std::string>& client) const;

    QString problemText() const { return problem_ ? QString::fromStdString(*problem_) : QString(); }
    QString lastClientText() const { return lastClient_ ? QString::fromStdString(*lastClient_) : QString(); }

Q_SIGNALS:
    void runningChanged();
    void problemChanged();
    void lastClientChanged();

private:
    bool running_ = false;
    std::optional<std::string> problem_;
    std::optional<std::string> lastClient_;
};

}  // namespace inkwarden
