#include "mcp/server/server.hpp"

#include "mcp/base/type_mismatch_error.hpp"
#include "mcp/client/roots.hpp"
#include "server_harness.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace mcp::test {
namespace {

using logging::Level;
using RootsTask = platform::Task<std::vector<Root>>;

// The outcome of a finished listRoots: the root URIs, or the error's description.
std::string outcome(const RootsTask& task) {
    if (!task.isFinished()) return "waiting";
    try {
        std::string uris;
        for (const auto& root : task.get()) uris += (uris.empty() ? "" : " ") + root.uri;
        return "roots " + uris;
    } catch (const TypeMismatchError&) {
        return "TypeMismatchError";
    } catch (const std::exception& e) {
        return e.what();
    }
}

std::string rootsReply(const std::string& id, std::string_view uri) {
    return R"({"jsonrpc":"2.0","id":)" + id + R"(,"result":{"roots":[{"uri":")" + std::string(uri) + R"("}]}})";
}

TEST(ServerListRootsTest, CorrelatesAnswersByIdWhateverTheirOrder) {
    ServerHarness h;
    std::vector<RootsTask> tasks;
    auto requests = h.runStarted([&]() -> asio::awaitable<std::vector<std::string>> {
        tasks.push_back(platform::spawn(h.io.get_executor(), h.server->listRoots()));
        tasks.push_back(platform::spawn(h.io.get_executor(), h.server->listRoots()));
        auto first = co_await h.transport->nextSent();
        auto second = co_await h.transport->nextSent();
        co_return std::vector<std::string>{first, second};
    });
    std::vector<std::string> ids;
    for (const auto& request : requests) {
        auto parsed = json(request);
        ASSERT_TRUE(isFreshID(parsed.at("id"))) << request;
        ids.push_back(text(parsed.at("id")));
        EXPECT_EQ(request, R"({"id":)" + ids.back() + R"(,"jsonrpc":"2.0","method":"roots/list","params":{}})");
    }
    ASSERT_NE(ids[0], ids[1]);

    h.transport->push(rootsReply(ids[1], "file:///second"));
    h.settle();
    EXPECT_EQ(outcome(tasks[0]), "waiting");
    EXPECT_EQ(outcome(tasks[1]), "roots file:///second");
    h.transport->push(rootsReply(ids[0], "file:///first"));
    h.settle();
    EXPECT_EQ(outcome(tasks[0]), "roots file:///first");
    EXPECT_EQ(h.logs.countOf(Level::warning), 0u);
}

TEST(ServerListRootsTest, ResponsesNobodyWaitsForAreWarnedAboutAndChangeNothing) {
    ServerHarness h;
    std::optional<RootsTask> task;
    auto request = h.runStarted([&]() -> asio::awaitable<std::string> {
        task = platform::spawn(h.io.get_executor(), h.server->listRoots());
        co_return co_await h.transport->nextSent();
    });
    auto id = text(json(request).at("id"));
    h.transport->push(rootsReply("99", "file:///number"));
    h.transport->push(rootsReply(R"("nope")", "file:///string"));
    h.settle();
    EXPECT_EQ(outcome(*task), "waiting");
    h.transport->push(rootsReply(id, "file:///mine"));
    h.transport->push(rootsReply(id, "file:///again"));  // already answered
    h.settle();
    EXPECT_EQ(outcome(*task), "roots file:///mine");
    auto warnings = h.logs.events(Level::warning, "Received response for unknown request");
    ASSERT_EQ(warnings.size(), 3u);
    EXPECT_EQ(warnings[0].metadataText("id"), "99");
    EXPECT_EQ(warnings[1].metadataText("id"), "nope");
    EXPECT_EQ(warnings[2].metadataText("id"), json(id).as_string().c_str());
    EXPECT_EQ(h.sent().size(), 1u);  // nothing is sent back
}

TEST(ServerListRootsTest, AnswersThatAreNoRootsListAndErrorsReachTheCaller) {
    struct Case {
        const char* name;
        std::string resultMember;
        std::string outcome;
    };
    const Case cases[] = {
        {"NotARootsList", R"("result":{"roots":5})", "TypeMismatchError"},
        {"RootWithoutUri", R"("result":{"roots":[{"name":"x"}]})", "TypeMismatchError"},
        {"ErrorReply", R"("error":{"code":-32601,"message":"Method not found"})",
         MCPError::fromJSON(json(R"({"code":-32601,"message":"Method not found"})")).errorDescription()},
        {"EmptyList", R"("result":{"roots":[]})", "roots "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServerHarness h;
        std::optional<RootsTask> task;
        auto request = h.runStarted([&]() -> asio::awaitable<std::string> {
            task = platform::spawn(h.io.get_executor(), h.server->listRoots());
            co_return co_await h.transport->nextSent();
        });
        h.transport->push(R"({"jsonrpc":"2.0","id":)" + text(json(request).at("id")) + "," + c.resultMember + "}");
        h.settle();
        EXPECT_EQ(outcome(*task), c.outcome);
    }
}

TEST(ServerListRootsTest, AFailedWriteFailsTheCallerAndForgetsTheRequest) {
    ServerHarness h;
    h.transport->failNextSend(std::make_exception_ptr(std::runtime_error("write failed")));
    auto result = h.runStarted([&]() -> asio::awaitable<std::string> {
        try {
            co_await h.server->listRoots();
        } catch (const std::runtime_error& e) {
            co_return e.what();
        }
        co_return "answered";
    });
    EXPECT_EQ(result, "write failed");
    EXPECT_EQ(h.transport->sendAttempts(), 1u);
}

TEST(ServerListRootsTest, StrictModeAsksOnlyClientsThatDeclaredRoots) {
    struct Case {
        const char* name;
        const char* capabilities;  // nullptr: no handshake
        std::string outcome;
    };
    const Case cases[] = {
        {"BeforeInitialize", nullptr, "Method not found: Client capabilities not initialized"},
        {"WithoutRoots", R"({"sampling":{}})", "Method not found: Roots is not supported by the client"},
        {"WithRoots", R"({"roots":{"listChanged":false}})", "roots file:///r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServerHarness h(Server::Configuration::strict_);
        auto result = h.runStarted([&]() -> asio::awaitable<std::string> {
            if (c.capabilities) {
                co_await h.exchange(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":)" +
                                    std::string(c.capabilities) + "}}");
            }
            auto task = platform::spawn(h.io.get_executor(), h.server->listRoots());
            std::string answer;
            try {
                // Only a request that was written can be answered.
                if (c.capabilities && std::string_view(c.capabilities).find("roots") != std::string_view::npos) {
                    auto request = co_await h.transport->nextSent();
                    h.transport->push(rootsReply(text(json(request).at("id")), "file:///r"));
                }
                co_await task.value();
            } catch (const std::exception&) {
            }
            co_return outcome(task);
        });
        EXPECT_EQ(result, c.outcome);
        bool asked = c.outcome.starts_with("roots");
        EXPECT_EQ(h.sent().size(), (c.capabilities ? 1u : 0u) + (asked ? 1u : 0u));
    }
}

TEST(ServerListRootsTest, DefaultModeAsksEvenBeforeTheHandshake) {
    ServerHarness h;
    auto result = h.runStarted([&]() -> asio::awaitable<std::string> {
        auto task = platform::spawn(h.io.get_executor(), h.server->listRoots());
        auto request = co_await h.transport->nextSent();
        h.transport->push(rootsReply(text(json(request).at("id")), "file:///early"));
        co_await task.value();
        co_return outcome(task);
    });
    EXPECT_EQ(result, "roots file:///early");
}

TEST(ServerListRootsTest, WithoutAConnectionNothingIsAsked) {
    ServerHarness h;
    auto result = h.run([&]() -> asio::awaitable<std::string> {
        try {
            co_await h.server->listRoots();
        } catch (const MCPError& e) {
            co_return e.errorDescription();
        }
        co_return "asked";
    });
    EXPECT_EQ(result, "Internal error: Server connection not initialized");
}

}  // namespace
}  // namespace mcp::test
