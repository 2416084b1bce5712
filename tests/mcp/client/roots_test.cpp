#include "mcp/client/roots.hpp"

#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"

#include <gtest/gtest.h>

#include <string>

namespace mcp {
namespace {

using platform::json::DecodingError;

std::string written(const boost::json::value& json) {
    return platform::json::write(json, {.escapeSlashes = false});
}

TEST(RootsTest, WritesRootsAndReadsThemBack) {
    struct Case {
        const char* name;
        ListRoots::Result result;
        std::string text;
    };
    const Case cases[] = {
        {"Empty", ListRoots::Result{}, R"({"roots":[]})"},
        {"UriOnly", ListRoots::Result{{Root{"file:///home/me"}}}, R"({"roots":[{"uri":"file:///home/me"}]})"},
        {"AnyUriKept", ListRoots::Result{{Root{""}, Root{"https://example.com/x", "web"}}},
         R"({"roots":[{"uri":""},{"uri":"https://example.com/x","name":"web"}]})"},
        {"Meta", ListRoots::Result{{Root{"u", std::nullopt, Metadata(Value::Object{{"a", 1}})}}, Metadata()},
         R"({"roots":[{"uri":"u","_meta":{"a":1}}],"_meta":{}})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(written(c.result.toJSON()), c.text);
        EXPECT_EQ(ListRoots::Result::fromJSON(platform::json::parse(c.text)), c.result);
    }
}

TEST(RootsTest, RefusesResultsWithoutRootsOrWithARootWithoutUri) {
    for (const char* text : {R"({})", R"({"roots":[{"uri":"a"},{"name":"b"}]})", R"({"roots":[{"uri":null}]})",
                             R"({"roots":{}})"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(ListRoots::Result::fromJSON(platform::json::parse(text)), DecodingError);
    }
    auto root = Root::fromJSON(platform::json::parse(R"({"uri":"u","name":null,"_meta":null,"x":1})"));
    EXPECT_EQ(root, Root{"u"});
}

TEST(RootsTest, MessagesHaveTheirWireForm) {
    EXPECT_EQ(written(ListRoots::request(ID(1)).toJSON()), R"({"jsonrpc":"2.0","id":1,"method":"roots/list","params":{}})");
    EXPECT_EQ(written(RootsListChangedNotification::message().toJSON()),
              R"({"jsonrpc":"2.0","method":"notifications/roots/list_changed"})");
    auto request = Request<ListRoots>::fromJSON(platform::json::parse(R"({"jsonrpc":"2.0","id":1,"method":"roots/list"})"));
    EXPECT_EQ(request.params, Empty{});
}

}  // namespace
}  // namespace mcp
