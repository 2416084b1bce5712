#include "mcp/base/request_handler_box.hpp"

#include "mcp/base/notification_handler_box.hpp"
#include "mcp/base/pending_request.hpp"
#include "mcp/base/ping.hpp"
#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"
#include "support/run_async.hpp"
#include "test_methods.hpp"

#include <gtest/gtest.h>

#include <any>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace mcp {
namespace {

namespace asio = boost::asio;
using platform::json::DecodingError;
using testing_support::runAsync;

Value json(std::string_view text) {
    return Value::fromJSON(platform::json::parse(text));
}

struct HandlerFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Runs `box` on `request`; gives "ok <result>", "failure <description>" or "throws <what>".
std::string callBox(const RequestHandlerBox& box, Request<AnyMethod> request) {
    return runAsync([&]() -> asio::awaitable<std::string> {
        try {
            auto response = co_await box(request);
            if (response.isSuccess()) co_return "ok " + response.id.description() + " " + response.success()->description();
            co_return "failure " + response.id.description() + " " + response.failure()->errorDescription();
        } catch (const std::exception& e) {
            co_return std::string("throws ") + e.what();
        }
    });
}

TEST(HandlerBoxTest, ConvertsErasedRequestsForTheTypedHandler) {
    std::vector<std::string> seen;
    auto named = std::make_shared<TypedRequestHandler<test::NamedMethod>>(
        [&seen](Request<test::NamedMethod> request) -> asio::awaitable<Response<test::NamedMethod>> {
            seen.push_back(request.params.name);
            co_return test::NamedMethod::response(request.id, test::Counted{7});
        });
    auto paged = std::make_shared<TypedRequestHandler<test::PagedMethod>>(
        [&seen](Request<test::PagedMethod> request) -> asio::awaitable<Response<test::PagedMethod>> {
            seen.push_back(request.params.cursor.value_or("(none)"));
            co_return test::PagedMethod::response(request.id, test::Counted{1});
        });
    auto ping = std::make_shared<TypedRequestHandler<Ping>>(
        [&seen](Request<Ping> request) -> asio::awaitable<Response<Ping>> {
            seen.push_back("ping");
            co_return Ping::response(request.id);
        });

    struct Case {
        const char* name;
        const RequestHandlerBox& box;
        Value params;
        std::string expected;
        std::vector<std::string> handled;
    };
    const std::vector<Case> cases = {
        {"TypedParams", *named, json(R"({"name":"x"})"), R"(ok 1 ["count": 7])", {"x"}},
        {"MissingRequiredParams", *named, Value(), "throws Missing required params field", {}},
        {"InvalidParams", *named, Value("text"), "throws Invalid params field", {}},
        {"NotRequiredWithout", *paged, Value(), R"(ok 1 ["count": 1])", {"(none)"}},
        {"NotRequiredOwnError", *paged, json(R"({"cursor":5})"),
         "throws Expected to decode String but found a number instead.", {}},
        {"EmptyWithoutParams", *ping, Value(), "ok 1 [:]", {"ping"}},
        {"EmptyWithAnyParams", *ping, json("[1,2]"), "ok 1 [:]", {"ping"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        seen.clear();
        EXPECT_EQ(callBox(c.box, Request<AnyMethod>(1, "m", c.params)), c.expected);
        EXPECT_EQ(seen, c.handled);
    }
}

TEST(HandlerBoxTest, PassesFailureResponsesWithTheHandlersId) {
    TypedRequestHandler<test::NamedMethod> box(
        [](Request<test::NamedMethod>) -> asio::awaitable<Response<test::NamedMethod>> {
            co_return test::NamedMethod::response("other", MCPError::invalidParams("nope"));
        });
    EXPECT_EQ(callBox(box, Request<AnyMethod>(1, "m", json(R"({"name":"x"})"))), "failure other Invalid params: nope");
}

TEST(HandlerBoxTest, PassesTheHandlersOwnErrorUnchanged) {
    TypedRequestHandler<Ping> box([](Request<Ping>) -> asio::awaitable<Response<Ping>> {
        throw HandlerFailure("broken");
        co_return Ping::response(1);
    });
    auto caught = runAsync([&]() -> asio::awaitable<std::exception_ptr> {
        try {
            co_await box(Request<AnyMethod>(1, "ping", Value()));
        } catch (...) {
            co_return std::current_exception();
        }
        co_return nullptr;
    });
    ASSERT_NE(caught, nullptr);
    EXPECT_THROW(std::rethrow_exception(caught), HandlerFailure);
}

struct Echo : BasicMethod<Echo> {
    static constexpr std::string_view name = "echo";
    using Parameters = Value;
    using Result = Value;
};

TEST(HandlerBoxTest, ConvertsTheResultThroughJSON) {
    // A typed result whose text is a data URL reaches the erased side as data.
    TypedRequestHandler<Echo> box([](Request<Echo> request) -> asio::awaitable<Response<Echo>> {
        co_return Echo::response(request.id, request.params);
    });
    Request<AnyMethod> request(1, "echo", Value::array({"data:,hi", 2.0}));
    auto response = runAsync([&]() -> asio::awaitable<Response<AnyMethod>> {
        auto answer = co_await box(request);
        co_return answer;
    });
    ASSERT_TRUE(response.isSuccess());
    EXPECT_EQ(*response.success(), Value::array({Value::data("text/plain", "hi"), 2}));
}

TEST(HandlerBoxTest, NotificationBoxesConvertAndPassErrors) {
    std::vector<std::string> seen;
    TypedNotificationHandler<test::NamedNotification> named(
        [&seen](Message<test::NamedNotification> message) -> asio::awaitable<void> {
            seen.push_back(message.method + " " + message.params.name);
            co_return;
        });
    TypedNotificationHandler<test::EmptyNotification> failing(
        [](Message<test::EmptyNotification>) -> asio::awaitable<void> {
            throw HandlerFailure("broken");
            co_return;
        });
    NotificationHandlerBox base;

    auto call = [](const NotificationHandlerBox& box, Value params) {
        return runAsync([&]() -> asio::awaitable<std::string> {
            try {
                co_await box(Message<AnyNotification>("n", params));
                co_return "ok";
            } catch (const std::exception& e) {
                co_return std::string("throws ") + e.what();
            }
        });
    };
    EXPECT_EQ(call(named, json(R"({"name":"x"})")), "ok");
    EXPECT_EQ(seen, std::vector<std::string>{"n x"});
    EXPECT_EQ(call(named, Value()), "throws Missing required params field");
    EXPECT_EQ(call(failing, Value()), "throws broken");
    EXPECT_EQ(call(base, Value("anything")), "ok");
    EXPECT_EQ(seen.size(), 1u);
}

// Resumes a pending request for a T with `resume` and gives what its waiter sees.
template <class T, class Resume>
std::string waiterSees(Resume resume, std::string (*show)(const T&)) {
    return runAsync([&]() -> asio::awaitable<std::string> {
        platform::OneShot<T> continuation;
        AnyPendingRequest pending{PendingRequest<T>(continuation)};
        resume(pending);
        try {
            T value = co_await continuation.wait();
            co_return "value " + show(value);
        } catch (const TypeMismatchError&) {
            co_return "TypeMismatchError";
        } catch (const std::exception& e) {
            co_return std::string("error ") + e.what();
        }
    });
}

std::string showCounted(const test::Counted& counted) {
    return std::to_string(counted.count);
}

std::string showEmpty(const Empty&) {
    return "{}";
}

TEST(PendingRequestTest, ResumesTheWaiterWithATypedResult) {
    using Resume = std::function<void(const AnyPendingRequest&)>;
    struct Case {
        const char* name;
        Resume resume;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"ValueThatFits", [](auto& p) { p.resumeReturning(json(R"({"count":2})")); }, "value 2"},
        {"ValueMissingAMember", [](auto& p) { p.resumeReturning(json("{}")); }, "TypeMismatchError"},
        {"ValueOfAnotherShape", [](auto& p) { p.resumeReturning(Value("2")); }, "TypeMismatchError"},
        {"TheTypeItself", [](auto& p) { p.resumeReturning(test::Counted{3}); }, "value 3"},
        {"AnUnrelatedType", [](auto& p) { p.resumeReturning(std::string("x")); }, "TypeMismatchError"},
        {"AnError",
         [](auto& p) { p.resumeThrowing(std::make_exception_ptr(MCPError::methodNotFound("x"))); },
         "error Method not found: x"},
        {"OnlyTheFirstResumption",
         [](auto& p) {
             p.resumeReturning(json(R"({"count":4})"));
             p.resumeThrowing(std::make_exception_ptr(MCPError::connectionClosed()));
         },
         "value 4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(waiterSees<test::Counted>(c.resume, showCounted), c.expected);
    }
}

TEST(PendingRequestTest, EmptyResultTakesAnyValue) {
    EXPECT_EQ(waiterSees<Empty>([](const AnyPendingRequest& p) { p.resumeReturning(Value(5)); }, showEmpty),
              "value {}");
    EXPECT_EQ(waiterSees<Empty>([](const AnyPendingRequest& p) { p.resumeReturning(Value()); }, showEmpty),
              "value {}");
}

}  // namespace
}  // namespace mcp
