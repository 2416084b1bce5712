#include "logging/lock.hpp"

#include "logging/detail/fatal_error.hpp"

namespace logging {

Lock::Lock() : mutex_(new pthread_mutex_t) {
    detail::checkPosix(pthread_mutex_init(mutex_, nullptr), "pthread_mutex_init");
}

Lock::~Lock() {
    detail::checkPosix(pthread_mutex_destroy(mutex_), "pthread_mutex_destroy");
    delete mutex_;
}

void Lock::lock() noexcept { detail::checkPosix(pthread_mutex_lock(mutex_), "pthread_mutex_lock"); }

void Lock::unlock() noexcept { detail::checkPosix(pthread_mutex_unlock(mutex_), "pthread_mutex_unlock"); }

}  // namespace logging
