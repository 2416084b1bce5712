#include "signature/request_gate.hpp"

#include "signature/tool_error.hpp"
#include "support/test_main_thread.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace inkwarden {
namespace {

using namespace std::chrono_literals;
using testing_support::ManualScheduler;

/// What happened to one fake window, kept after the window itself is gone.
struct WindowLog {
    int shown = 0;
    int closed = 0;
    bool released = false;
    std::function<void()> closeHandler;
};

class FakeWindow final : public RequestWindow {
public:
    explicit FakeWindow(std::shared_ptr<WindowLog> log) : log_(std::move(log)) {}
    ~FakeWindow() override { log_->released = true; }

    void setCloseHandler(std::function<void()> handler) override { log_->closeHandler = std::move(handler); }
    void show() override { ++log_->shown; }
    void close() override { ++log_->closed; }

private:
    std::shared_ptr<WindowLog> log_;
};

/// One yes-or-no request through the gate, as a tool would make it.
struct Request {
    std::shared_ptr<WindowLog> log = std::make_shared<WindowLog>();
    RequestGate::Finish<bool> answer;  // the content's finish callback, which holds the request
    std::vector<GateOutcome<bool>> outcomes;

    void start(RequestGate& gate) {
        gate.run<bool>(
            false,
            [this](RequestGate::Finish<bool> finish) {
                answer = std::move(finish);
                return std::make_unique<FakeWindow>(log);
            },
            [this](GateOutcome<bool> outcome) { outcomes.push_back(outcome); });
    }
    void userCloses() const {
        if (log->closeHandler) log->closeHandler();
    }
};

struct GateFixture : ::testing::Test {
    ManualScheduler scheduler;
    RequestGate gate{scheduler};
};

using GateTest = GateFixture;

TEST_F(GateTest, EachEndingDeliversExactlyOneOutcome) {
    struct Case {
        const char* name;
        std::function<void(Request&, ManualScheduler&)> events;
        bool result;
        bool timedOut;
    };
    const Case cases[] = {
        {"Confirmed", [](Request& r, ManualScheduler&) { r.answer(true); }, true, false},
        {"Declined", [](Request& r, ManualScheduler&) { r.answer(false); }, false, false},
        {"ClosedByUser", [](Request& r, ManualScheduler&) { r.userCloses(); }, false, false},
        {"ClosedJustBeforeDeadline",
         [](Request& r, ManualScheduler& s) {
             s.advance(299s);
             r.userCloses();
         },
         false, false},
        {"NobodyAnswers", [](Request&, ManualScheduler& s) { s.advance(300s); }, false, true},
        {"AnswerThenCloseInOneTurn",
         [](Request& r, ManualScheduler&) {
             r.answer(true);
             r.userCloses();
         },
         true, false},
        {"AnswerJustBeforeDeadline",
         [](Request& r, ManualScheduler& s) {
             s.advance(300s - 1ms);
             r.answer(true);
         },
         true, false},
        {"AnswerAfterDeadlineIgnored",
         [](Request& r, ManualScheduler& s) {
             s.advance(300s);
             r.answer(true);
             r.userCloses();
         },
         false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ManualScheduler scheduler;
        RequestGate gate{scheduler};
        Request request;
        request.start(gate);
        EXPECT_TRUE(gate.isOpen());
        EXPECT_EQ(request.log->shown, 1);

        c.events(request, scheduler);
        scheduler.advance(1h);  // a deadline that is left over must not act again

        ASSERT_EQ(request.outcomes.size(), 1u);
        EXPECT_EQ(request.outcomes[0].result, c.result);
        EXPECT_EQ(request.outcomes[0].timedOut, c.timedOut);
        EXPECT_EQ(gate.timedOut(), c.timedOut);
        EXPECT_FALSE(gate.isOpen());
        EXPECT_EQ(request.log->closed, 1);
        EXPECT_FALSE(request.log->closeHandler) << "the close handler outlived the request";
    }
}

TEST_F(GateTest, WindowIsReleasedOnceFinished) {
    Request request;
    request.start(gate);
    EXPECT_FALSE(request.log->released);
    request.answer(true);
    EXPECT_TRUE(request.log->released);
}

TEST_F(GateTest, SecondRequestIsBusyAndLeavesTheFirstWindowUp) {
    Request first;
    first.start(gate);

    Request second;
    try {
        second.start(gate);
        ADD_FAILURE() << "the second request was admitted";
    } catch (const ToolError& error) {
        EXPECT_EQ(error.message(), RequestGate::busyText);
    }
    EXPECT_EQ(second.log->shown, 0);
    EXPECT_EQ(first.log->closed, 0);
    EXPECT_TRUE(gate.isOpen());

    first.answer(true);
    Request third;
    third.start(gate);
    EXPECT_EQ(third.log->shown, 1);
    third.answer(false);
}

TEST_F(GateTest, NextAdmissionClearsTheTimeOutFlag) {
    Request late;
    late.start(gate);
    scheduler.advance(300s);
    ASSERT_TRUE(gate.timedOut());

    Request next;
    next.start(gate);
    EXPECT_FALSE(gate.timedOut());
    next.userCloses();
    ASSERT_EQ(next.outcomes.size(), 1u);
    EXPECT_FALSE(next.outcomes[0].timedOut);
}

TEST_F(GateTest, TicketFreesTheGateWhenItsHolderThrows) {
    try {
        auto ticket = gate.admit();
        EXPECT_TRUE(gate.isOpen());
        throw std::runtime_error("rendering failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(gate.isOpen());

    // A window that cannot be built frees the gate too.
    EXPECT_THROW(gate.run<bool>(
                     false, [](RequestGate::Finish<bool>) -> std::unique_ptr<RequestWindow> {
                         throw std::runtime_error("no display");
                     },
                     [](GateOutcome<bool>) { ADD_FAILURE() << "an outcome without a window"; }),
                 std::runtime_error);
    EXPECT_FALSE(gate.isOpen());
}

TEST(GateAnswerTest, MapsOutcomesToResultsAndTexts) {
    EXPECT_TRUE(approvalAnswer({true, false}));
    EXPECT_FALSE(approvalAnswer({false, false}));
    try {
        approvalAnswer({false, true});
        ADD_FAILURE() << "a timed-out approval read as a refusal";
    } catch (const ToolError& error) {
        EXPECT_EQ(error.message(), RequestGate::timeOutText);
    }

    EXPECT_EQ(requiredAnswer<int>({std::optional<int>(7), false}), 7);
    for (bool timedOut : {false, true}) {
        try {
            requiredAnswer<int>({std::nullopt, timedOut});
            ADD_FAILURE() << "no answer read as an answer";
        } catch (const ToolError& error) {
            EXPECT_EQ(error.message(), timedOut ? RequestGate::timeOutText : RequestGate::cancelText);
        }
    }
    EXPECT_NE(std::string(RequestGate::timeOutText).find("away from their computer."), std::string::npos);
}

}  // namespace
}  // namespace inkwarden
