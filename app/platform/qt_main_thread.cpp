#include "platform/qt_main_thread.hpp"

#include <QMetaObject>
#include <QTimer>

namespace inkwarden {

QtMainThread::QtMainThread() = default;

void QtMainThread::post(Job job) {
    QMetaObject::invokeMethod(&context_, std::move(job), Qt::QueuedConnection);
}

bool QtMainThread::isCurrent() const {
    return QThread::currentThread() == context_.thread();
}

void QtScheduler::after(std::chrono::milliseconds delay, Job job) {
    QTimer::singleShot(delay, Qt::PreciseTimer, &context_, std::move(job));
}

}  // namespace inkwarden
