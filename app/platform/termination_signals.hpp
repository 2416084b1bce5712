#pragma once

#include <QObject>

class QSocketNotifier;

namespace inkwarden {

/// Turns SIGTERM, SIGINT and SIGHUP into the `received` signal on the Qt thread (through a
/// self-pipe, since nothing else may run in a signal handler), so the application ends through
/// its ordinary quit path and its clean-up runs. One per process; make it on the Qt thread.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void drain();

    QSocketNotifier* notifier_;
};

}  // namespace inkwarden
