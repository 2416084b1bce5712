#pragma once

#include <filesystem>

#include <QObject>

class QSocketNotifier;

namespace inkwarden {

/// A Unix socket that only the user can reach, on which a second start of the application
/// knocks: each connection emits `knocked` on the Qt thread and is closed unread.
class KnockListener : public QObject {
    Q_OBJECT

public:
    /// Listens at `socket`, replacing a file left there (call it only while holding the
    /// single-instance lock). Throws std::system_error when it cannot listen.
    explicit KnockListener(const std::filesystem::path& socket, QObject* parent = nullptr);
    ~KnockListener() override;

Q_SIGNALS:
    void knocked();

private:
    void acceptAll();

    int fd_;
    std::filesystem::path path_;
    QSocketNotifier* notifier_;
};

}  // namespace inkwarden
