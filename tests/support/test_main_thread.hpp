#pragma once

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <utility>
#include <vector>

#include "platform/main_thread.hpp"
#include "platform/scheduler.hpp"

namespace testing_support {

/// A plain thread standing in for the Qt thread. Jobs run there in order; `run` waits for one.
class TestMainThread final : public inkwarden::MainThread {
public:
    TestMainThread() : work_(boost::asio::make_work_guard(io_)), thread_([this] { io_.run(); }) {}
    ~TestMainThread() override {
        work_.reset();
        thread_.join();
    }

    void post(Job job) override { boost::asio::post(io_, std::move(job)); }
    bool isCurrent() const override { return std::this_thread::get_id() == thread_.get_id(); }

    /// Runs `fn` on the main thread and waits (bounded) for its value, from a test's own thread.
    template <class F>
    auto run(F fn) {
        std::packaged_task<decltype(fn())()> task(std::move(fn));
        auto future = task.get_future();
        post([&task] { task(); });
        if (future.wait_for(std::chrono::seconds(30)) != std::future_status::ready) std::terminate();
        return future.get();
    }

private:
    boost::asio::io_context io_;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work_;
    std::thread thread_;
};

/// Delayed jobs on a clock the test moves by hand. Use it from one thread (the main thread).
class ManualScheduler final : public inkwarden::Scheduler {
public:
    void after(std::chrono::milliseconds delay, Job job) override {
        pending_.push_back({now_ + delay, sequence_++, std::move(job)});
    }

    /// Moves the clock on by `duration`, running every job that falls due, earliest first.
    void advance(std::chrono::milliseconds duration) {
        const auto until = now_ + duration;
        for (;;) {
            auto next = std::min_element(pending_.begin(), pending_.end(), [](const Entry& a, const Entry& b) {
                return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
            });
            if (next == pending_.end() || next->due > until) break;
            auto entry = std::move(*next);
            pending_.erase(next);
            now_ = entry.due;
            entry.job();
        }
        now_ = until;
    }

    std::size_t pendingCount() const noexcept { return pending_.size(); }

private:
    struct Entry {
        std::chrono::milliseconds due;
        unsigned long sequence;
        Job job;
    };
    std::chrono::milliseconds now_{0};
    unsigned long sequence_ = 0;
    std::vector<Entry> pending_;
};

}  // namespace testing_support
