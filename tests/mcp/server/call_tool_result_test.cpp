#include "mcp/server/call_tool.hpp"

#include "platform/json/decoding_error.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

/// The outcome of reading `value` through its JSON: the result, or absent for an error.
std::optional<CallTool::Result> throughJSON(const Value& value) {
    try {
        return CallTool::Result::fromJSON(value.toJSON());
    } catch (const platform::json::DecodingError&) {
        return std::nullopt;
    }
}

std::optional<CallTool::Result> direct(const Value& value) {
    try {
        return CallTool::Result::fromValue(value);
    } catch (const platform::json::DecodingError&) {
        return std::nullopt;
    }
}

Value text(Value body) { return Value::object({{"type", Value("text")}, {"text", std::move(body)}}); }

TEST(CallToolResultTest, ReadingFromAValueEqualsReadingItsJSON) {
    const auto image = Value::object({{"type", Value("image")}, {"data", Value("AAAA")}, {"mimeType", Value("image/png")}});
    struct Case {
        const char* name;
        Value result;
    };
    const Case cases[] = {
        {"OneText", Value::object({{"content", Value::array({text(Value("Signed"))})}})},
        {"Texts", Value::object({{"content", Value::array({text(Value("a")), text(Value(""))})}})},
        {"EmptyContent", Value::object({{"content", Value::array({})}})},
        {"ErrorFlag", Value::object({{"content", Value::array({text(Value("no"))})}, {"isError", Value(true)}})},
        {"FalseFlag", Value::object({{"content", Value::array({})}, {"isError", Value(false)}})},
        {"NullFlag", Value::object({{"content", Value::array({})}, {"isError", Value()}})},
        {"FlagNotBool", Value::object({{"content", Value::array({})}, {"isError", Value(1)}})},
        {"Image", Value::object({{"content", Value::array({text(Value("a")), image})}})},
        {"Structured", Value::object({{"content", Value::array({})}, {"structuredContent", Value::object({{"n", Value(2.0)}})}})},
        {"Meta", Value::object({{"content", Value::array({})}, {"_meta", Value::object({{"k", Value("v")}})}})},
        // A text that reads as data in a Value comes back through JSON as its data URL.
        {"DataText", Value::object({{"content", Value::array({text(Value("data:,x"))})}})},
        {"DataValue", Value::object({{"content", Value::array({text(Value::data("text/plain", "x"))})}})},
        {"TextNotText", Value::object({{"content", Value::array({text(Value(3))})}})},
        {"TextWithMeta", Value::object({{"content", Value::array({Value::object(
                             {{"type", Value("text")}, {"text", Value("a")}, {"_meta", Value::object({})}})})}})},
        {"UnknownType", Value::object({{"content", Value::array({Value::object({{"type", Value("video")}, {"text", Value("a")}})})}})},
        {"MissingContent", Value::object({{"isError", Value(true)}})},
        {"NullContent", Value::object({{"content", Value()}})},
        {"ContentNotArray", Value::object({{"content", Value("a")}})},
        {"NotAnObject", Value::array({text(Value("a"))})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(direct(c.result), throughJSON(c.result));
    }
}

}  // namespace
}  // namespace mcp
