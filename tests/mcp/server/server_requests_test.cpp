#include "mcp/server/server.hpp"

#include "mcp/base/type_mismatch_error.hpp"
#include "mcp/client/create_sampling_message.hpp"
#include "mcp/client/elicitation.hpp"
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

using SamplingTask = platform::Task<CreateSamplingMessage::Result>;
using ElicitationTask = platform::Task<CreateElicitation::Result>;

Elicitation::RequestSchema nameSchema() {
    Elicitation::RequestSchema schema;
    schema.properties = Value::Object{{"name", Value::object({{"type", "string"}})}};
    schema.required = std::vector<std::string>{"name"};
    return schema;
}

std::string reply(const std::string& request, std::string_view result) {
    return R"({"jsonrpc":"2.0","id":)" + text(json(request).at("id")) + R"(,"result":)" + std::string(result) + "}";
}

TEST(ServerFeatureRequestsTest, SamplingAndElicitationAnsweredOutOfOrderReachTheirCallers) {
    ServerHarness h;
    std::optional<SamplingTask> sampling;
    std::optional<ElicitationTask> form;
    std::optional<ElicitationTask> url;
    auto requests = h.runStarted([&]() -> asio::awaitable<std::vector<std::string>> {
        auto executor = h.io.get_executor();
        Sampling::ModelPreferences preferences;
        preferences.hints = std::vector<Sampling::ModelPreferences::Hint>{{"fast"}};
        preferences.speedPriority = UnitInterval(1);
        sampling = platform::spawn(
            executor, h.server->requestSampling({Sampling::Message::user("Summarise a/b")}, preferences, "Be brief",
                                                Sampling::ContextInclusion::none, 0.5, 64,
                                                std::vector<std::string>{"END"}, Metadata(Value::Object{{"k", 1}})));
        form = platform::spawn(executor, h.server->requestElicitation("Who are you?", nameSchema()));
        url = platform::spawn(executor, h.server->requestElicitation("Sign in", "https://example.com/a?b=1", "e-1"));
        std::vector<std::string> sent;
        for (int i = 0; i < 3; ++i) sent.push_back(co_await h.transport->nextSent());
        co_return sent;
    });
    ASSERT_EQ(requests.size(), 3u);
    std::vector<std::string> ids;
    for (const auto& request : requests) {
        ASSERT_TRUE(isFreshID(json(request).at("id"))) << request;
        ids.push_back(text(json(request).at("id")));
    }
    EXPECT_EQ(requests[0], R"({"id":)" + ids[0] +
                               R"(,"jsonrpc":"2.0","method":"sampling/createMessage","params":{"_meta":{"k":1},)"
                               R"("includeContext":"none","maxTokens":64,"messages":[{"content":{"text":"Summarise a/b",)"
                               R"("type":"text"},"role":"user"}],"modelPreferences":{"hints":[{"name":"fast"}],)"
                               R"("speedPriority":1},"stopSequences":["END"],"systemPrompt":"Be brief","temperature":0.5}})");
    EXPECT_EQ(requests[1], R"({"id":)" + ids[1] +
                               R"(,"jsonrpc":"2.0","method":"elicitation/create","params":{"message":"Who are you?",)"
                               R"("requestedSchema":{"properties":{"name":{"type":"string"}},"required":["name"],)"
                               R"("type":"object"}}})");
    EXPECT_EQ(requests[2], R"({"id":)" + ids[2] +
                               R"(,"jsonrpc":"2.0","method":"elicitation/create","params":{"elicitationId":"e-1",)"
                               R"("message":"Sign in","mode":"url","url":"https://example.com/a?b=1"}})");

    h.transport->push(reply(requests[2], R"({"action":"decline"})"));
    h.settle();
    ASSERT_TRUE(url->isFinished());
    EXPECT_FALSE(form->isFinished());
    EXPECT_FALSE(sampling->isFinished());
    EXPECT_EQ(url->get().action, CreateElicitation::Result::Action::decline);

    h.transport->push(reply(requests[0], R"({"model":"m1","stopReason":"endTurn","role":"assistant",)"
                                         R"("content":[{"type":"text","text":"Short."}]})"));
    h.transport->push(reply(requests[1], R"({"action":"accept","content":{"name":"Ada"}})"));
    h.settle();
    ASSERT_TRUE(sampling->isFinished());
    ASSERT_TRUE(form->isFinished());
    auto sampled = sampling->get();
    EXPECT_EQ(sampled.model, "m1");
    EXPECT_EQ(sampled.stopReason, Sampling::StopReason::endTurn);
    EXPECT_EQ(sampled.content, Sampling::Message::Content("Short."));
    auto filled = form->get();
    EXPECT_EQ(filled.action, CreateElicitation::Result::Action::accept);
    EXPECT_EQ(filled.content, (Value::Object{{"name", "Ada"}}));
    EXPECT_EQ(h.logs.countOf(Level::warning), 0u);
}

TEST(ServerFeatureRequestsTest, AnswersThatDoNotReadAsTheResultAreTypeMismatches) {
    struct Case {
        const char* name;
        std::string result;
        bool sampling;
    };
    const Case cases[] = {
        {"SamplingWithoutModel", R"({"role":"assistant","content":{"type":"text","text":"x"}})", true},
        {"SamplingWithUnknownBlock", R"({"model":"m","role":"assistant","content":{"type":"resource"}})", true},
        {"ElicitationUnknownAction", R"({"action":"ignore"})", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServerHarness h;
        auto result = h.runStarted([&]() -> asio::awaitable<std::string> {
            auto executor = h.io.get_executor();
            std::optional<SamplingTask> sampling;
            std::optional<ElicitationTask> elicitation;
            if (c.sampling) {
                sampling = platform::spawn(executor, h.server->requestSampling({Sampling::Message::user("x")},
                                                                               std::nullopt, std::nullopt,
                                                                               std::nullopt, std::nullopt, 1));
            } else {
                elicitation = platform::spawn(executor, h.server->requestElicitation("m", nameSchema()));
            }
            auto request = co_await h.transport->nextSent();
            h.transport->push(reply(request, c.result));
            try {
                if (sampling) co_await sampling->value();
                if (elicitation) co_await elicitation->value();
            } catch (const TypeMismatchError&) {
                co_return "TypeMismatchError";
            } catch (const std::exception& e) {
                co_return e.what();
            }
            co_return "answered";
        });
        EXPECT_EQ(result, "TypeMismatchError");
    }
}

TEST(ServerFeatureRequestsTest, StrictModeAsksOnlyForDeclaredCapabilities) {
    struct Case {
        const char* name;
        const char* capabilities;  // nullptr: no handshake
        std::string sampling;
        std::string elicitation;
    };
    const Case cases[] = {
        {"BeforeInitialize", nullptr, "Method not found: Client capabilities not initialized",
         "Method not found: Client capabilities not initialized"},
        {"RootsOnly", R"({"roots":{}})", "Method not found: Sampling is not supported by the client",
         "Method not found: Elicitation is not supported by the client"},
        // Only the presence of the member counts, not the modes inside it.
        {"BothDeclared", R"({"sampling":{},"elicitation":{"url":{}}})", "asked", "asked"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServerHarness h(Server::Configuration::strict_);
        auto outcomes = h.runStarted([&]() -> asio::awaitable<std::vector<std::string>> {
            if (c.capabilities) {
                co_await h.exchange(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":)" +
                                    std::string(c.capabilities) + "}}");
            }
            std::vector<std::string> outcomes;
            auto ask = [&](auto makeRequest, bool expectAsked) -> asio::awaitable<void> {
                auto sent = h.sent().size();
                if (expectAsked) {
                    // Only a request that was written is waiting for its answer.
                    auto task = platform::spawn(h.io.get_executor(), makeRequest());
                    co_await h.transport->nextSent();
                    outcomes.push_back("asked");
                    co_return;
                }
                try {
                    co_await makeRequest();
                    outcomes.push_back("answered");
                } catch (const MCPError& e) {
                    outcomes.push_back(e.errorDescription());
                }
                EXPECT_EQ(h.sent().size(), sent);
            };
            co_await ask([&] { return h.server->requestSampling({}, std::nullopt, std::nullopt, std::nullopt,
                                                                std::nullopt, 1); },
                         c.sampling == "asked");
            co_await ask([&] { return h.server->requestElicitation("m", "u", "e"); }, c.elicitation == "asked");
            co_return outcomes;
        });
        EXPECT_EQ(outcomes, (std::vector<std::string>{c.sampling, c.elicitation}));
    }
}

TEST(ServerFeatureRequestsTest, StoppingFailsEveryWaitingRequest) {
    ServerHarness h;
    auto outcomes = h.runStarted([&]() -> asio::awaitable<std::vector<std::string>> {
        auto executor = h.io.get_executor();
        auto sampling = platform::spawn(executor, h.server->requestSampling({}, std::nullopt, std::nullopt,
                                                                            std::nullopt, std::nullopt, 1));
        auto elicitation = platform::spawn(executor, h.server->requestElicitation("m", nameSchema()));
        co_await h.transport->nextSent();
        co_await h.transport->nextSent();
        co_await h.server->stop();
        std::vector<std::string> outcomes;
        try {
            co_await sampling.value();
        } catch (const MCPError& e) {
            outcomes.push_back(e.errorDescription());
        }
        try {
            co_await elicitation.value();
        } catch (const MCPError& e) {
            outcomes.push_back(e.errorDescription());
        }
        co_return outcomes;
    });
    EXPECT_EQ(outcomes, (std::vector<std::string>(2, "Internal error: Server disconnected")));
}

}  // namespace
}  // namespace mcp::test
