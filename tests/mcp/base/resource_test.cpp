#include "mcp/base/resource.hpp"

#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mcp {
namespace {

using platform::json::DecodingError;

std::string write(const boost::json::value& json) {
    return platform::json::write(json, {.escapeSlashes = false});
}

template <class T>
std::string reencode(std::string_view json) {
    try {
        return write(T::fromJSON(platform::json::parse(json)).toJSON());
    } catch (const DecodingError&) {
        return "fails";
    }
}

TEST(ResourceContentTest, FactoriesFillTextOrBlob) {
    EXPECT_EQ(write(Resource::Content::text_("", "file:///a").toJSON()), R"({"uri":"file:///a","text":""})");
    EXPECT_EQ(write(Resource::Content::binary("", "file:///b").toJSON()), R"({"uri":"file:///b","blob":""})");
    auto content = Resource::Content::binary("hi", "file:///c", "image/png", Metadata());
    EXPECT_EQ(write(content.toJSON()), R"({"uri":"file:///c","mimeType":"image/png","blob":"aGk=","_meta":{}})");
    EXPECT_EQ(Resource::Content::fromJSON(content.toJSON()), content);
}

TEST(ResourceContentTest, DecodesWhatItFinds) {
    struct Case {
        const char* name;
        std::string_view json;
        std::string written;
    };
    const std::vector<Case> cases = {
        {"UriOnly", R"({"uri":"u"})", R"({"uri":"u"})"},
        {"TextAndBlobKeptInOrder", R"({"blob":"b","text":"t","uri":"u"})", R"({"uri":"u","text":"t","blob":"b"})"},
        {"NullMimeType", R"({"uri":"u","mimeType":null,"extra":1})", R"({"uri":"u"})"},
        {"NoUri", R"({"text":"t"})", "fails"},
        {"NullUri", R"({"uri":null})", "fails"},
        {"NumericText", R"({"uri":"u","text":5})", "fails"},
        {"MetaNotObject", R"({"uri":"u","_meta":[1]})", "fails"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reencode<Resource::Content>(c.json), c.written);
    }
}

TEST(ResourceContentTest, MetaTakesPartInEquality) {
    auto plain = Resource::Content::text_("t", "u");
    auto withEmptyMeta = Resource::Content::text_("t", "u", std::nullopt, Metadata());
    EXPECT_NE(plain, withEmptyMeta);
    EXPECT_EQ(plain, Resource::Content::text_("t", "u"));
    EXPECT_EQ(std::hash<Resource::Content>{}(plain), std::hash<Resource::Content>{}(Resource::Content::text_("t", "u")));
}

TEST(ResourceAnnotationsTest, DecodesAndWrites) {
    struct Case {
        const char* name;
        std::string_view json;
        std::string written;
    };
    const std::vector<Case> cases = {
        {"Empty", "{}", "{}"},
        {"AudienceKeepsOrderAndRepeats", R"({"audience":["assistant","user","user"]})",
         R"({"audience":["assistant","user","user"]})"},
        {"CapitalisedAudience", R"({"audience":["User"]})", "fails"},
        {"AudienceNotArray", R"({"audience":"user"})", "fails"},
        {"IntegerPriority", R"({"priority":5})", R"({"priority":5})"},
        {"AllInOrder", R"({"lastModified":"yesterday","priority":0.5,"audience":[]})",
         R"({"audience":[],"priority":0.5,"lastModified":"yesterday"})"},
        {"Nulls", R"({"audience":null,"priority":null,"lastModified":null})", "{}"},
        {"NumericDate", R"({"lastModified":1})", "fails"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(reencode<Resource::Annotations>(c.json), c.written);
    }
    auto five = Resource::Annotations::fromJSON(platform::json::parse(R"({"priority":5})"));
    EXPECT_EQ(five.priority, 5.0);
    EXPECT_EQ(Resource::Annotations::audienceFromRawValue("assistant"), Resource::Annotations::Audience::assistant);
    EXPECT_EQ(Resource::Annotations::audienceFromRawValue("User"), std::nullopt);
}

TEST(ResourceAnnotationsTest, NamesTheUnknownEnumerationTextAndWhereItIs) {
    try {
        Resource::Annotations::fromJSON(platform::json::parse(R"({"audience":["user","User"]})"));
        ADD_FAILURE() << "decoded";
    } catch (const DecodingError& e) {
        EXPECT_EQ(e.kind, DecodingError::Kind::dataCorrupted);
        EXPECT_EQ(e.description, "Cannot initialize Audience from invalid String value User");
        EXPECT_EQ(e.codingPath, (std::vector<std::string>{"audience", "1"}));
    }
}

}  // namespace
}  // namespace mcp
