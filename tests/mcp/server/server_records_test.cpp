#include "mcp/server/server_configuration.hpp"

#include "mcp/server/server.hpp"
#include "platform/json/decoding_error.hpp"
#include "server_harness.hpp"

#include <gtest/gtest.h>

#include <string>

namespace mcp::test {
namespace {

using platform::json::DecodingError;

TEST(ServerConfigurationTest, HasTwoPresetsAndNeedsItsFlag) {
    EXPECT_FALSE(Server::Configuration::default_.strict);
    EXPECT_TRUE(Server::Configuration::strict_.strict);
    EXPECT_EQ(platform::json::write(Server::Configuration::default_.toJSON()), R"({"strict":false})");
    EXPECT_EQ(Server::Configuration::fromJSON(json(R"({"strict":true,"other":1})")), Server::Configuration::strict_);
    for (const char* text : {"{}", R"({"strict":null})", R"({"strict":"yes"})", "[]"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(Server::Configuration::fromJSON(json(text)), DecodingError);
    }
}

TEST(ServerBatchTest, TellsRequestsFromNotificationsByTheirId) {
    auto batch = Server::Batch::fromJSON(json(
        R"([{"jsonrpc":"2.0","id":null,"method":"a"},{"jsonrpc":"2.0","method":"b","params":[1]},{"jsonrpc":"2.0","id":"x","method":"c"}])"));
    ASSERT_EQ(batch.items.size(), 3u);
    ASSERT_TRUE(std::holds_alternative<Request<AnyMethod>>(batch.items[0]));
    EXPECT_EQ(std::get<Request<AnyMethod>>(batch.items[0]).id, ID(""));
    ASSERT_TRUE(std::holds_alternative<Message<AnyNotification>>(batch.items[1]));
    EXPECT_EQ(std::get<Message<AnyNotification>>(batch.items[1]).params, Value::array({1}));
    EXPECT_TRUE(std::holds_alternative<Request<AnyMethod>>(batch.items[2]));
    EXPECT_TRUE(Server::Batch::fromJSON(json("[]")).items.empty());
}

TEST(ServerBatchTest, OneUnreadableItemFailsTheWholeBatch) {
    struct Case {
        const char* name;
        const char* text;
        const char* failure;  // nullptr: the decoder's own text
    };
    const Case cases[] = {
        {"WrongVersion", R"([{"jsonrpc":"2.0","method":"a"},{"jsonrpc":"1.0","method":"b"}])", "Invalid JSON-RPC version"},
        {"NoVersion", R"([{"method":"a"}])", nullptr},
        {"NoMethod", R"([{"jsonrpc":"2.0","id":1}])", nullptr},
        {"NotAnObject", R"([1])", nullptr},
        {"NotAnArray", R"({"jsonrpc":"2.0","method":"a"})", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            Server::Batch::fromJSON(json(c.text));
            ADD_FAILURE() << "decoded";
        } catch (const DecodingError& e) {
            if (c.failure) {
                EXPECT_EQ(e.description, c.failure);
            }
        }
    }
}

}  // namespace
}  // namespace mcp::test
