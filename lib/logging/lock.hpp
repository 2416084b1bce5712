#pragma once

#include <pthread.h>

#include <utility>

namespace logging {

/// Plain mutual exclusion over a POSIX mutex. Any failure of the mutex ends the process; callers
/// never see a lock error. Not copyable; share it by reference.
class Lock {
public:
    Lock();
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    void lock() noexcept;
    void unlock() noexcept;

    /// Runs `body` holding the lock and returns its result; the lock is released when `body` throws.
    template <class F>
    decltype(auto) withLock(F&& body) {
        lock();
        Unlocker unlocker{*this};
        return std::forward<F>(body)();
    }

    template <class F>
    void withLockVoid(F&& body) {
        withLock(std::forward<F>(body));
    }

private:
    struct Unlocker {
        Lock& lock;
        ~Unlocker() { lock.unlock(); }
    };

    pthread_mutex_t* mutex_;
};

}  // namespace logging
