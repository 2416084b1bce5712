#pragma once

#include "platform/scheduler.hpp"

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

namespace testing_support {

/// A scheduler on a clock that moves only when the test says so. Same-time jobs run in the order
/// they were scheduled; a job scheduled while others run waits for the next advance.
class ManualScheduler final : public inkwarden::Scheduler {
public:
    void after(std::chrono::milliseconds delay, Job job) override {
        jobs_.push_back({now_ + delay, sequence_++, std::move(job)});
    }

    /// Moves the clock forward and runs every job that has come due, in time order.
    void advance(std::chrono::milliseconds by) {
        const auto until = now_ + by;
        for (;;) {
            auto due = std::min_element(jobs_.begin(), jobs_.end(), [](const auto& a, const auto& b) {
                return a.at != b.at ? a.at < b.at : a.sequence < b.sequence;
            });
            if (due == jobs_.end() || due->at > until) break;
            auto job = std::move(*due);
            jobs_.erase(due);
            now_ = job.at;
            job.run();
        }
        now_ = until;
    }

    std::size_t pending() const { return jobs_.size(); }

private:
    struct Entry {
        std::chrono::milliseconds at;
        std::size_t sequence;
        Job run;
    };

    std::chrono::milliseconds now_{0};
    std::size_t sequence_ = 0;
    std::vector<Entry> jobs_;
};

}  // namespace testing_support
