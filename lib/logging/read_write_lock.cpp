#include "logging/read_write_lock.hpp"

#include "logging/detail/fatal_error.hpp"

namespace logging {

ReadWriteLock::ReadWriteLock() : rwlock_(new pthread_rwlock_t) {
    detail::checkPosix(pthread_rwlock_init(rwlock_, nullptr), "pthread_rwlock_init");
}

ReadWriteLock::~ReadWriteLock() {
    detail::checkPosix(pthread_rwlock_destroy(rwlock_), "pthread_rwlock_destroy");
    delete rwlock_;
}

void ReadWriteLock::lockRead() noexcept { detail::checkPosix(pthread_rwlock_rdlock(rwlock_), "pthread_rwlock_rdlock"); }

void ReadWriteLock::lockWrite() noexcept { detail::checkPosix(pthread_rwlock_wrlock(rwlock_), "pthread_rwlock_wrlock"); }

void ReadWriteLock::unlock() noexcept { detail::checkPosix(pthread_rwlock_unlock(rwlock_), "pthread_rwlock_unlock"); }

}  // namespace logging
