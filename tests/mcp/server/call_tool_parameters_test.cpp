#include "mcp/server/call_tool.hpp"

#include "platform/json/decoding_error.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

/// The outcome of reading `value` through its JSON: the parameters, or absent for an error.
std::optional<CallTool::Parameters> throughJSON(const Value& value) {
    try {
        return CallTool::Parameters::fromJSON(value.toJSON());
    } catch (const platform::json::DecodingError&) {
        return std::nullopt;
    }
}

std::optional<CallTool::Parameters> direct(const Value& value) {
    try {
        return CallTool::Parameters::fromValue(value);
    } catch (const platform::json::DecodingError&) {
        return std::nullopt;
    }
}

TEST(CallToolParametersTest, ReadingFromAValueEqualsReadingItsJSON) {
    const auto arguments = Value::object({{"text", Value("a/b")}, {"list", Value::array({Value(1), Value(1.5)})}});
    struct Case {
        const char* name;
        Value params;
    };
    const Case cases[] = {
        {"Plain", Value::object({{"name", Value("echo")}, {"arguments", arguments}})},
        {"NoArguments", Value::object({{"name", Value("echo")}})},
        {"NullArgumentsAndMeta", Value::object({{"name", Value("echo")}, {"arguments", Value()}, {"_meta", Value()}})},
        {"Meta", Value::object({{"name", Value("echo")}, {"_meta", Value::object({{"progressToken", Value(3)}})}})},
        // Built in memory, these read back otherwise through JSON: the whole double as an
        // integer, the text as data.
        {"WholeDouble", Value::object({{"name", Value("e")}, {"arguments", Value::object({{"n", Value(2.0)}})}})},
        {"DataText", Value::object({{"name", Value("e")}, {"arguments", Value::object({{"d", Value("data:,x")}})}})},
        {"MissingName", Value::object({{"arguments", arguments}})},
        {"NameNotText", Value::object({{"name", Value(5)}})},
        {"ArgumentsNotObject", Value::object({{"name", Value("e")}, {"arguments", Value::array({})}})},
        {"NotAnObject", Value::array({Value("echo")})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(direct(c.params), throughJSON(c.params));
    }
    // The arguments share the elements of the Value they came from.
    auto params = Value::object({{"name", Value("echo")}, {"arguments", arguments}});
    auto read = CallTool::Parameters::fromValue(params);
    EXPECT_EQ(read.arguments->at("list").arrayValue()->data(), arguments.objectValue()->at("list").arrayValue()->data());
}

TEST(CallToolParametersTest, EmptyContainersShareOneInstance) {
    EXPECT_EQ(Value(Value::Array{}).arrayValue()->data(), Value::array({}).arrayValue()->data());
    EXPECT_EQ(Value(Value::Object{}).objectValue(), Value::object({}).objectValue());
    EXPECT_NE(Value::array({Value(1)}).arrayValue()->data(), Value::array({Value(1)}).arrayValue()->data());
}

}  // namespace
}  // namespace mcp
