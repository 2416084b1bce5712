#pragma once

#include <pthread.h>

#include <utility>

namespace logging {

/// Shared reading and exclusive writing over a POSIX read-write lock. Any failure of the lock
/// ends the process; callers never see a lock error. Not copyable; share it by reference.
class ReadWriteLock {
public:
    ReadWriteLock();
    ~ReadWriteLock();
    ReadWriteLock(const ReadWriteLock&) = delete;
    ReadWriteLock& operator=(const ReadWriteLock&) = delete;

    void lockRead() noexcept;
    void lockWrite() noexcept;
    void unlock() noexcept;

    /// Run `body` holding the read (or write) lock and return its result; the lock is released
    /// when `body` throws.
    template <class F>
    decltype(auto) withReaderLock(F&& body) {
        lockRead();
        Unlocker unlocker{*this};
        return std::forward<F>(body)();
    }

    template <class F>
    decltype(auto) withWriterLock(F&& body) {
        lockWrite();
        Unlocker unlocker{*this};
        return std::forward<F>(body)();
    }

private:
    struct Unlocker {
        ReadWriteLock& lock;
        ~Unlocker() { lock.unlock(); }
    };

    pthread_rwlock_t* rwlock_;
};

}  // namespace logging
