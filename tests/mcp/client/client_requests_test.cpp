#include "mcp/client/client.hpp"

#include "client_harness.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace mcp::test {
namespace {

using logging::Level;

TEST(ClientRequestTest, WithoutAConnectionNothingIsSentOrRegistered) {
    ClientHarness h;
    const std::string expected = "Internal error: Client connection not initialized";
    EXPECT_EQ(errorOf([&] { h.client->send(Echo::request(1, Value(1))); }), expected);
    auto errors = h.run([&]() -> asio::awaitable<std::vector<std::string>> {
        std::vector<std::string> errors;
        auto attempt = [&](auto makeAwaitable) -> asio::awaitable<void> {
            try {
                co_await makeAwaitable();
                errors.push_back("no error");
            } catch (const std::exception& e) {
                errors.push_back(e.what());
            }
        };
        co_await attempt([&] { return h.client->notify(Note::message(Value(1))); });
        co_await attempt([&] { return h.client->cancelRequest(1); });
        bool ran = false;
        co_await attempt([&] {
            return h.client->withBatch([&ran](std::shared_ptr<Client::Batch>) -> asio::awaitable<void> {
                ran = true;
                co_return;
            });
        });
        co_await attempt([&] { return h.client->ping(); });
        errors.push_back(ran ? "body ran" : "body did not run");
        co_return errors;
    });
    EXPECT_EQ(errors, (std::vector<std::string>{expected, expected, expected, expected, "body did not run"}));
    EXPECT_TRUE(h.transport->sent().empty());
}

TEST(ClientRequestTest, AnswersReachTheirOwnWaitersInAnyOrderAndIdKindsStayApart) {
    ClientHarness h;
    h.connect();
    auto [first, firstText] = h.request(Echo::request("1", Value("first")));
    auto [second, secondText] = h.request(Echo::request(2, Value::object({{"path", "/a/b"}})));
    EXPECT_EQ(firstText, R"({"jsonrpc":"2.0","id":"1","method":"test\/echo","params":"first"})");
    // Default writer options: members in the order written, "/" escaped.
    EXPECT_EQ(secondText, R"({"jsonrpc":"2.0","id":2,"method":"test\/echo","params":{"path":"\/a\/b"}})");

    h.transport->push(R"({"jsonrpc":"2.0","id":1,"result":"number one"})");  // not the string "1"
    h.transport->push(R"({"jsonrpc":"2.0","id":2,"result":"two"})");
    h.settle();
    EXPECT_EQ(outcome(first), "waiting");
    EXPECT_EQ(outcome(second), R"(ok "two")");
    h.transport->push(R"({"jsonrpc":"2.0","id":"1","result":"one"})");
    h.transport->push(R"({"jsonrpc":"2.0","id":"1","result":"again"})");
    h.settle();
    EXPECT_EQ(outcome(first), R"(ok "one")");

    auto warnings = h.logs.events(Level::warning, "Attempted to handle response for already removed request");
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0].metadataText("id"), "1");
    EXPECT_EQ(warnings[1].metadataText("id"), "1");
    EXPECT_EQ(h.logs.countOf(Level::trace, "Processing response"), 4u);
}

TEST(ClientRequestTest, ResultsThatDoNotReadAndErrorResponsesFailTheirWaiterDifferently) {
    struct Case {
        const char* name;
        std::string member;
        std::string outcome;
    };
    const Case cases[] = {
        {"Result", R"("result":{"count":3})", R"(ok {"count":3})"},
        {"MissingMember", R"("result":{"total":3})", "type mismatch"},
        {"WrongKind", R"("result":{"count":"3"})", "type mismatch"},
        {"MethodNotFound", R"("error":{"code":-32601,"message":"Method not found","data":{"detail":"test/count"}})",
         MCPError::methodNotFound("test/count").errorDescription()},
        {"ServerError", R"("error":{"code":-32050,"message":"Busy"})", "Busy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClientHarness h;
        h.connect();
        auto [task, text] = h.request(Count::request(7));
        // A request without parameters carries an empty "params" object.
        EXPECT_EQ(text, R"({"jsonrpc":"2.0","id":7,"method":"test\/count","params":{}})");
        h.transport->push(R"({"jsonrpc":"2.0","id":7,)" + c.member + "}");
        h.settle();
        auto got = outcome(task);
        EXPECT_NE(got.find(c.outcome), std::string::npos) << got;
    }
}

TEST(ClientRequestTest, AFailedWriteFailsTheWaiterWithTheTransportsErrorAndForgetsIt) {
    ClientHarness h;
    h.connect();
    h.transport->failNextSend(std::make_exception_ptr(std::runtime_error("write failed")));
    std::optional<platform::Task<Value>> task;
    h.run([&]() -> asio::awaitable<void> {
        task = h.client->send(Echo::request("w", Value(1))).requestTask;
        try {
            co_await task->value();
        } catch (...) {
        }
    });
    EXPECT_EQ(outcome(*task), "write failed");
    // The id is free again: a new request with it is accepted, and an answer for it ends only that one.
    auto [again, text] = h.request(Echo::request("w", Value(2)));
    h.transport->push(R"({"jsonrpc":"2.0","id":"w","result":2})");
    h.settle();
    EXPECT_EQ(outcome(again), "ok 2");
}

TEST(ClientRequestTest, ASecondRequestWithAPendingIdIsRefusedAndTheFirstStillGetsItsAnswer) {
    ClientHarness h;
    h.connect();
    auto [first, text] = h.request(Echo::request("dup", Value(1)));
    EXPECT_EQ(errorOf([&] { h.client->send(Echo::request("dup", Value(2))); }),
              "Invalid Request: A request with id dup is already pending");
    h.settle();
    EXPECT_EQ(h.sent().size(), 1u);
    h.transport->push(R"({"jsonrpc":"2.0","id":"dup","result":"one"})");
    h.settle();
    EXPECT_EQ(outcome(first), R"(ok "one")");
}

TEST(ClientRequestTest, CancellingTheWaitingTaskNeitherEndsTheWaitNorTellsTheServer) {
    ClientHarness h;
    h.connect();
    auto [task, text] = h.request(Echo::request(1, Value(1)));
    task.cancel();
    h.settle();
    EXPECT_EQ(outcome(task), "waiting");
    EXPECT_EQ(h.sent().size(), 1u);
    h.transport->push(R"({"jsonrpc":"2.0","id":1,"result":"late"})");
    h.settle();
    EXPECT_EQ(outcome(task), R"(ok "late")");
}

TEST(ClientCancellationTest, CancellingEndsTheWaitAtOnceTellsTheServerAndALateAnswerFindsNoWaiter) {
    ClientHarness h;
    h.connect();
    auto [task, text] = h.request(Echo::request("c-1", Value(1)));
    h.run([&]() -> asio::awaitable<void> { co_await h.client->cancelRequest("c-1", "user gave up"); });
    h.settle();
    EXPECT_EQ(outcome(task), "cancelled");
    h.run([&]() -> asio::awaitable<void> { co_await h.client->cancelRequest(42); });  // never sent: told anyway
    auto sent = h.sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1],
              R"({"jsonrpc":"2.0","method":"notifications\/cancelled","params":{"requestId":"c-1","reason":"user gave up"}})");
    EXPECT_EQ(sent[2], R"({"jsonrpc":"2.0","method":"notifications\/cancelled","params":{"requestId":42}})");
    h.transport->push(R"({"jsonrpc":"2.0","id":"c-1","result":"late"})");
    h.settle();
    EXPECT_EQ(outcome(task), "cancelled");
    EXPECT_EQ(h.logs.countOf(Level::warning, "Attempted to handle response for already removed request"), 1u);
}

TEST(ClientCancellationTest, CancellingAfterTheAnswerChangesNothingLocally) {
    ClientHarness h;
    h.connect();
    auto [task, text] = h.request(Echo::request(3, Value(1)));
    h.transport->push(R"({"jsonrpc":"2.0","id":3,"result":"done"})");
    h.settle();
    h.run([&]() -> asio::awaitable<void> { co_await h.client->cancelRequest(3); });
    EXPECT_EQ(outcome(task), R"(ok "done")");
    EXPECT_EQ(h.sent().size(), 2u);
}

TEST(ClientCancellationTest, TheServersCancellationFailsOnlyTheNamedWaiter) {
    ClientHarness h;
    h.connect();
    auto [named, namedText] = h.request(Echo::request(10, Value(1)));
    auto [other, otherText] = h.request(Echo::request(11, Value(1)));
    h.transport->push(R"({"jsonrpc":"2.0","method":"notifications\/cancelled","params":{"requestId":10,"reason":"too slow"}})");
    h.transport->push(R"({"jsonrpc":"2.0","method":"notifications\/cancelled","params":{"requestId":99}})");
    h.transport->push(R"({"jsonrpc":"2.0","method":"notifications\/cancelled"})");
    h.settle();
    EXPECT_EQ(outcome(named), "cancelled");
    EXPECT_EQ(outcome(other), "waiting");
    auto lines = h.logs.events(Level::debug, "Received cancellation notification");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].metadataText("requestId"), "10");
    EXPECT_EQ(lines[0].metadataText("reason"), "too slow");
    EXPECT_EQ(lines[2].metadataText("requestId"), "none");
    EXPECT_EQ(lines[2].metadataText("reason"), "none");
    EXPECT_EQ(h.sent().size(), 2u);  // nothing goes back
}

// Batches

struct BatchRun {
    std::vector<platform::Task<Value>> tasks;
    std::string error = "no error";
};

/// Runs a batch whose body adds an echo request for each id, then throws `bodyError` when given.
BatchRun runBatch(ClientHarness& h, std::vector<ID> ids, const char* bodyError = nullptr) {
    BatchRun run;
    h.run([&]() -> asio::awaitable<void> {
        try {
            co_await h.client->withBatch([&](std::shared_ptr<Client::Batch> batch) -> asio::awaitable<void> {
                for (const auto& id : ids) run.tasks.push_back(batch->addRequest(Echo::request(id, Value(id.description()))));
                if (bodyError) throw std::runtime_error(bodyError);
                co_return;
            });
        } catch (const std::exception& e) {
            run.error = e.what();
        }
    });
    h.settle();
    return run;
}

TEST(ClientBatchTest, SendsOneArrayInOrderAndEachAnswerEndsItsOwnTask) {
    ClientHarness h;
    h.connect();
    auto run = runBatch(h, {1, "two", 3});
    EXPECT_EQ(run.error, "no error");
    ASSERT_EQ(h.sent().size(), 1u);
    EXPECT_EQ(h.sent()[0], R"([{"jsonrpc":"2.0","id":1,"method":"test\/echo","params":"1"},)"
                           R"({"jsonrpc":"2.0","id":"two","method":"test\/echo","params":"two"},)"
                           R"({"jsonrpc":"2.0","id":3,"method":"test\/echo","params":"3"}])");
    EXPECT_EQ(h.logs.first(Level::debug, "Sending batch request")->metadataText("count"), "3");

    // One bad item: an error for the second, an id nobody waits for, and the rest answered.
    h.transport->push(R"([{"jsonrpc":"2.0","id":3,"result":"c"},)"
                      R"({"jsonrpc":"2.0","id":"two","error":{"code":-32602,"message":"Invalid params"}},)"
                      R"({"jsonrpc":"2.0","id":77,"result":"x"},)"
                      R"({"jsonrpc":"2.0","id":1,"result":"a"}])");
    h.settle();
    EXPECT_EQ(outcome(run.tasks[0]), R"(ok "a")");
    EXPECT_EQ(outcome(run.tasks[1]),
              MCPError::fromJSON(json(R"({"code":-32602,"message":"Invalid params"})")).errorDescription());
    EXPECT_EQ(outcome(run.tasks[2]), R"(ok "c")");
    auto unknown = h.logs.events(Level::warning, "Received response in batch for unknown or already handled request ID");
    ASSERT_EQ(unknown.size(), 1u);
    EXPECT_EQ(unknown[0].metadataText("id"), "77");
    EXPECT_EQ(h.logs.first(Level::trace, "Processing batch response")->metadataText("count"), "4");
}

TEST(ClientBatchTest, ABatchOfOneIsStillAnArrayAndAnEmptyOneSendsNothing) {
    ClientHarness h;
    h.connect();
    runBatch(h, {});
    EXPECT_TRUE(h.sent().empty());
    EXPECT_EQ(h.logs.countOf(Level::debug, "Batch requested but no requests were added."), 1u);
    auto run = runBatch(h, {"only"});
    ASSERT_EQ(h.sent().size(), 1u);
    EXPECT_EQ(h.sent()[0], R"([{"jsonrpc":"2.0","id":"only","method":"test\/echo","params":"only"}])");
    // A single answer, not in an array, ends the batch's task just as well.
    h.transport->push(R"({"jsonrpc":"2.0","id":"only","result":1})");
    h.settle();
    EXPECT_EQ(outcome(run.tasks[0]), "ok 1");
}

TEST(ClientBatchTest, ABatchThatNeverGoesOutFailsItsWaitersWithTheReasonAndFreesTheirIds) {
    {
        ClientHarness h;
        h.connect();
        auto run = runBatch(h, {1, 2}, "body failed");
        EXPECT_EQ(run.error, "body failed");
        EXPECT_TRUE(h.sent().empty());
        for (const auto& task : run.tasks) EXPECT_EQ(outcome(task), "body failed");
    }
    {
        ClientHarness h;
        h.connect();
        h.transport->failNextSend(std::make_exception_ptr(std::runtime_error("no room")));
        auto run = runBatch(h, {1, 2});
        EXPECT_EQ(run.error, "no room");
        for (const auto& task : run.tasks) EXPECT_EQ(outcome(task), "no room");
        auto again = runBatch(h, {1});
        EXPECT_EQ(again.error, "no error");
    }
}

TEST(ClientBatchTest, RequestsAddedAfterTheBatchWentOutOrWithAPendingIdAreRefused) {
    ClientHarness h;
    h.connect();
    auto [pending, text] = h.request(Echo::request("p", Value(1)));
    std::shared_ptr<Client::Batch> kept;
    std::string duplicate;
    h.run([&]() -> asio::awaitable<void> {
        co_await h.client->withBatch([&](std::shared_ptr<Client::Batch> batch) -> asio::awaitable<void> {
            kept = batch;
            duplicate = errorOf([&] { batch->addRequest(Echo::request("p", Value(2))); });
            batch->addRequest(Echo::request("q", Value(3)));
            co_return;
        });
    });
    EXPECT_EQ(duplicate, "Invalid Request: A request with id p is already pending");
    EXPECT_EQ(errorOf([&] { kept->addRequest(Echo::request("late", Value(4))); }),
              "Internal error: The batch has already been sent");
    EXPECT_EQ(kept->requests().size(), 1u);
}

}  // namespace
}  // namespace mcp::test
