#include "mcp/server/resource_methods.hpp"

#include "support/coding.hpp"

#include <gtest/gtest.h>

#include <string>
#include <unordered_set>

namespace mcp {
namespace {

using platform::json::parse;
using testing_support::reencode;
using testing_support::written;

TEST(ResourceTest, WritesNameAndUriFirstAndOnlyWhatIsPresent) {
    struct Case {
        const char* name;
        std::string_view json;
        std::string written;
    };
    const Case cases[] = {
        {"NameAndUri", R"({"uri":"file:///a","name":"a"})", R"({"name":"a","uri":"file:///a"})"},
        {"ZeroSize", R"({"size":0,"uri":"u","name":"n"})", R"({"name":"n","uri":"u","size":0})"},
        {"Everything",
         R"({"_meta":{},"icons":[{"src":"i.png"}],"annotations":{"audience":["user"]},"size":12,"mimeType":"text/plain","description":"d","title":"t","uri":"u","name":"n"})",
         R"({"name":"n","uri":"u","title":"t","description":"d","mimeType":"text/plain","size":12,"annotations":{"audience":["user"]},"icons":[{"src":"i.png"}],"_meta":{}})"},
        {"FractionalSize", R"({"name":"n","uri":"u","size":1.5})", "typeMismatch"},
        {"NoUri", R"({"name":"n"})", "keyNotFound"},
        {"NullName", R"({"name":null,"uri":"u"})", "valueNotFound"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reencode<Resource>(c.json), c.written);
    }
    Resource a("n", "u", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
               std::vector<Icon>{{"1"}, {"2"}});
    Resource b("n", "u", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
               std::vector<Icon>{{"2"}, {"1"}});
    EXPECT_NE(a, b);
    EXPECT_EQ(std::unordered_set<Resource>({a, b, a}).size(), 2u);
}

TEST(ResourceTest, TemplatesNeedTheirTemplateAndName) {
    EXPECT_EQ(reencode<Resource::Template>(R"({"name":"n","mimeType":"m","uriTemplate":"file:///{path}"})"),
              R"({"uriTemplate":"file:///{path}","name":"n","mimeType":"m"})");
    EXPECT_EQ(reencode<Resource::Template>(R"({"name":"n","uri":"file:///a"})"), "keyNotFound");
    EXPECT_EQ(reencode<Resource::Template>(R"({"uriTemplate":"t"})"), "keyNotFound");
}

TEST(ResourceMethodsTest, ResultsWriteTheirListsAlways) {
    EXPECT_EQ(written(ListResources::Result{}.toJSON()), R"({"resources":[]})");
    EXPECT_EQ(written(ListResourceTemplates::Result{}.toJSON()), R"({"resourceTemplates":[]})");
    EXPECT_EQ(written(ReadResource::Result{}.toJSON()), R"({"contents":[]})");
    EXPECT_EQ(reencode<ListResourceTemplates::Result>(R"({"templates":[]})"), "keyNotFound");
    EXPECT_EQ(reencode<ListResourceTemplates::Result>(
                  R"({"nextCursor":"","resourceTemplates":[{"uriTemplate":"t","name":"n"}]})"),
              R"({"resourceTemplates":[{"uriTemplate":"t","name":"n"}],"nextCursor":""})");
    EXPECT_EQ(reencode<ListResources::Result>(R"({"resources":[{"name":"n","uri":"u"}],"_meta":{}})"),
              R"({"resources":[{"name":"n","uri":"u"}],"_meta":{}})");
    EXPECT_EQ(reencode<ReadResource::Result>(R"({"contents":[{"uri":"u","blob":"AA=="},{"text":"t"}]})"),
              "keyNotFound");
}

TEST(ResourceMethodsTest, RequestsFollowTheParameterRules) {
    auto decode = [](std::string_view method, std::string_view params) -> std::string {
        std::string text = R"({"jsonrpc":"2.0","id":1,"method":")" + std::string(method) + "\"";
        if (!params.empty()) text += R"(,"params":)" + std::string(params);
        text += "}";
        if (method == ReadResource::name) return reencode<Request<ReadResource>>(text);
        if (method == ResourceSubscribe::name) return reencode<Request<ResourceSubscribe>>(text);
        if (method == ListResourceTemplates::name) return reencode<Request<ListResourceTemplates>>(text);
        return reencode<Request<ListResources>>(text);
    };
    EXPECT_EQ(decode("resources/list", ""), R"({"jsonrpc":"2.0","id":1,"method":"resources/list","params":{}})");
    EXPECT_EQ(decode("resources/templates/list", R"({"cursor":"c"})"),
              R"({"jsonrpc":"2.0","id":1,"method":"resources/templates/list","params":{"cursor":"c"}})");
    EXPECT_EQ(decode("resources/read", ""), "dataCorrupted: Missing required params field");
    EXPECT_EQ(decode("resources/read", "{}"), "dataCorrupted: Invalid params field");
    EXPECT_EQ(decode("resources/subscribe", "null"), "dataCorrupted: Missing required params field");
    EXPECT_EQ(decode("resources/read", R"({"uri":"file:///x"})"),
              R"({"jsonrpc":"2.0","id":1,"method":"resources/read","params":{"uri":"file:///x"}})");
}

TEST(ResourceMethodsTest, EnvelopesHaveTheirWireForms) {
    EXPECT_EQ(written(ListResources::request(ID(1), {}).toJSON()),
              R"({"jsonrpc":"2.0","id":1,"method":"resources/list","params":{}})");
    EXPECT_EQ(written(ResourceUnsubscribe::response(ID(2)).toJSON()), R"({"jsonrpc":"2.0","id":2,"result":{}})");
    EXPECT_EQ(written(ResourceListChangedNotification::message().toJSON()),
              R"({"jsonrpc":"2.0","method":"notifications/resources/list_changed"})");
    EXPECT_EQ(written(ResourceUpdatedNotification::message({"file:///a"}).toJSON()),
              R"({"jsonrpc":"2.0","method":"notifications/resources/updated","params":{"uri":"file:///a"}})");
}

}  // namespace
}  // namespace mcp
