#pragma once

#include <chrono>
#include <functional>

namespace inkwarden {

/// Delayed jobs on the main thread: the application's long timers (600 seconds for a signature
/// file, 300 for a request window) go through it, so tests can run them without waiting.
///
/// Call `after` on the main thread; the job runs there too. There is no cancelling: a job that
/// may find its object gone holds it weakly and checks.
class Scheduler {
public:
    using Job = std::function<void()>;

    virtual ~Scheduler() = default;

    /// Runs `job` once `delay` has passed on a clock that stands still while the computer sleeps.
    virtual void after(std::chrono::milliseconds delay, Job job) = 0;
};

}  // namespace inkwarden
