#pragma once

#include "platform/scheduler.hpp"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace inkwarden {

/// A window shown through the request gate. The gate builds it, shows it once and closes it once.
/// Main thread only.
class RequestWindow {
public:
    virtual ~RequestWindow() = default;

    /// Called when the user closes the window; an empty handler stops the calls.
    virtual void setCloseHandler(std::function<void()> handler) = 0;

    /// Puts the window in front of every other and gives it focus where the desktop allows.
    virtual void show() = 0;

    /// Closes the window without calling the close handler and releases its content; it may be
    /// called from inside the content's own event handler.
    virtual void close() = 0;
};

/// What ended a request: the window's result, and whether the deadline ended it.
template <class R>
struct GateOutcome {
    R result;
    bool timedOut = false;
};

/// The one place that lets a tool open a window for the user: one window at a time, each ended
/// exactly once by the user's answer, the close button or the deadline. Main thread only.
class RequestGate {
public:
    static constexpr const char* busyText =
        "Another Inkwarden request is already open. Wait for the user to answer it.";
    static constexpr const char* timeOutText =
        "Nobody answered within five minutes, so the window closed. This isn't a refusal: the user may be "
        "away from their computer. Tell them the request is waiting and ask again when they're back.";
    static constexpr const char* cancelText =
        "The user cancelled: they clicked Cancel or closed the window. Don't ask again unless they tell "
        "you to.";

    /// Holds the gate from admission until it is released or destroyed, so every path frees it.
    class Ticket {
    public:
        Ticket(Ticket&& other) noexcept : gate_(std::exchange(other.gate_, nullptr)) {}
        Ticket& operator=(Ticket&& other) noexcept {
            if (this != &other) {
                release();
                gate_ = std::exchange(other.gate_, nullptr);
            }
            return *this;
        }
        ~Ticket() { release(); }

        /// Frees the gate; later calls do nothing.
        void release() noexcept {
            if (auto* gate = std::exchange(gate_, nullptr)) gate->open_ = false;
        }

    private:
        friend class RequestGate;
        explicit Ticket(RequestGate& gate) : gate_(&gate) {}
        RequestGate* gate_;
    };

    template <class R>
    using Finish = std::function<void(R)>;

    /// Builds the window of one request; the content calls `finish` with the user's answer.
    template <class R>
    using MakeWindow = std::function<std::unique_ptr<RequestWindow>(Finish<R> finish)>;

    explicit RequestGate(Scheduler& scheduler) : scheduler_(scheduler) {}

    /// How long a window waits for an answer before it closes by itself.
    std::chrono::milliseconds timeout = std::chrono::seconds(300);

    bool isOpen() const noexcept { return open_; }
    bool timedOut() const noexcept { return timedOut_; }

    /// Admits one request: throws ToolError with the busy text while another holds the gate,
    /// otherwise marks the gate open and clears the time-out flag.
    Ticket admit();

    /// Shows the window made by `makeWindow` and calls `done` exactly once, with the answer, or
    /// with `fallback` when the user closes the window or nobody answers in time (the time-out
    /// flag set first then).
    template <class R>
    void present(R fallback, MakeWindow<R> makeWindow, Finish<R> done);

    /// Admits, presents and releases: `done` gets the outcome with the gate already free again.
    /// Throws the busy ToolError without showing anything.
    template <class R>
    void run(R fallback, MakeWindow<R> makeWindow, std::function<void(GateOutcome<R>)> done);

private:
    template <class R>
    class OpenRequest;

    Scheduler& scheduler_;
    bool open_ = false;
    bool timedOut_ = false;
};

/// The answer of a yes-or-no window: false after the deadline is the time-out ToolError, any
/// other false a refusal the caller reports in its own words.
bool approvalAnswer(const GateOutcome<bool>& outcome);

/// The answer of a window whose fallback is "nothing": none is the time-out or the cancel
/// ToolError.
template <class T>
T requiredAnswer(GateOutcome<std::optional<T>> outcome);

/// Throws the ToolError for a window that ended without an answer.
[[noreturn]] void throwUnanswered(bool timedOut);

template <class R>
class RequestGate::OpenRequest : public std::enable_shared_from_this<OpenRequest<R>> {
public:
    explicit OpenRequest(Finish<R> continuation) : continuation_(std::move(continuation)) {}

    bool isPending() const noexcept { return static_cast<bool>(continuation_); }

    void finish(R result) {
        if (!continuation_) return;
        auto continuation = std::exchange(continuation_, nullptr);
        if (auto window = std::move(window_)) {
            // The handler goes first, so closing the window here does not finish again.
            window->setCloseHandler(nullptr);
            window->close();
        }
        continuation(std::move(result));
    }

    void attach(std::unique_ptr<RequestWindow> window) { window_ = std::move(window); }
    RequestWindow* window() const noexcept { return window_.get(); }

private:
    Finish<R> continuation_;
    std::unique_ptr<RequestWindow> window_;
};

template <class R>
void RequestGate::present(R fallback, MakeWindow<R> makeWindow, Finish<R> done) {
    auto request = std::make_shared<OpenRequest<R>>(std::move(done));
    // The content holds the request until it finishes; the close handler and the deadline only
    // look at it if it is still there.
    request->attach(makeWindow([request](R result) { request->finish(std::move(result)); }));
    std::weak_ptr<OpenRequest<R>> weak = request;
    auto* window = request->window();
    if (!window) {
        request->finish(std::move(fallback));
        return;
    }
    window->setCloseHandler([weak, fallback] {
        if (auto alive = weak.lock()) alive->finish(fallback);
    });
    scheduler_.after(timeout, [this, weak, fallback] {
        auto alive = weak.lock();
        if (!alive || !alive->isPending()) return;
        timedOut_ = true;
        alive->finish(fallback);
    });
    window->show();
}

template <class R>
void RequestGate::run(R fallback, MakeWindow<R> makeWindow, std::function<void(GateOutcome<R>)> done) {
    auto ticket = std::make_shared<Ticket>(admit());
    present<R>(std::move(fallback), std::move(makeWindow), [this, ticket, done = std::move(done)](R result) {
        ticket->release();
        done(GateOutcome<R>{std::move(result), timedOut_});
    });
}

template <class T>
T requiredAnswer(GateOutcome<std::optional<T>> outcome) {
    if (!outcome.result) throwUnanswered(outcome.timedOut);
    return std::move(*outcome.result);
}

}  // namespace inkwarden
