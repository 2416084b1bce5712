#pragma once

#include <QObject>
#include <QThread>

#include "platform/main_thread.hpp"
#include "platform/scheduler.hpp"

namespace inkwarden {

/// The Qt thread as the main thread: jobs are queued to a context object living on it. Make it on
/// the Qt thread, after the QApplication.
class QtMainThread final : public MainThread {
public:
    QtMainThread();

    void post(Job job) override;
    bool isCurrent() const override;

private:
    QObject context_;
};

/// Delayed jobs through single-shot QTimers (monotonic clock) on the calling thread.
class QtScheduler final : public Scheduler {
public:
    void after(std::chrono::milliseconds delay, Job job) override;

private:
    QObject context_;
};

}  // namespace inkwarden
