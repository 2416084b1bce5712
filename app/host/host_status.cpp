#include "host/host_status.hpp"

namespace inkwarden {

HostStatus::HostStatus(QObject* parent) : QObject(parent) {}

void HostStatus::setRunning(bool running) {
    if (running_ == running) return;
    running_ = running;
    Q_EMIT runningChanged();
}

void HostStatus::setProblem(std::optional<std::string> problem) {
    if (problem_ == problem) return;
    problem_ = std::move(problem);
    Q_EMIT problemChanged();
}

void HostStatus::setLastClient(std::optional<std::string> client) {
    if (lastClient_ == client) return;
    lastClient_ = std::move(client);
    Q_EMIT lastClientChanged();
}

void HostStatus::update(ListenerState state, long long port, const std::string& description) {
    switch (state) {
        case ListenerState::ready:
            setRunning(true);
            setProblem(std::nullopt);
            break;
        case ListenerState::failed:
            setRunning(false);
            setProblem("Port " + std::to_string(port) + ": " + description);
            break;
        case ListenerState::cancelled:
            setRunning(false);
            break;
    }
}

std::string HostStatus::name(const std::optional<std::string>& client) const {
    if (client) return *client;
    if (lastClient_) return *lastClient_;
    return tr("Your AI").toStdString();
}

}  // namespace inkwarden
