#include "mcp/base/detail/plain_envelope.hpp"

#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace mcp {
namespace {

template <class Envelope>
std::optional<Envelope> throughDOM(const std::string& text) {
    try {
        return Envelope::fromJSON(platform::json::parse(text));
    } catch (const platform::json::DecodingError&) {
        return std::nullopt;
    }
}

// A message read straight from its text either gives what the envelope's JSON reader gives, or
// nothing, so that it takes that reader's road.
TEST(PlainEnvelopeTest, ReadsWhatTheJSONReadersReadOrNothing) {
    struct Case {
        const char* text;
        bool request;  // read here as a request
        bool success;  // read here as a success
    };
    const Case cases[] = {
        {R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"a","arguments":{"n":1.5}}})", true, false},
        {R"({"jsonrpc":"2.0","id":"x","method":"ping"})", true, false},
        {R"({"jsonrpc":"2.0","id":2.0,"method":"ping","params":null})", true, false},
        {R"({"method":"ping","id":-7,"jsonrpc":"2.0","params":[1,"data:,x"]})", true, false},
        {R"({"jsonrpc":"2.0","id":1,"result":{"content":[]}})", false, true},
        {R"({"jsonrpc":"2.0","id":"1","result":null})", false, true},
        {R"({"jsonrpc":"2.0","id":3,"result":{},"error":{"code":1,"message":"m"}})", false, true},
        // Shapes left to the JSON readers.
        {R"({"jsonrpc":"2.0","id":null,"method":"ping"})", false, false},
        {R"({"jsonrpc":"2.0","id":null,"result":{}})", false, false},
        {R"({"jsonrpc":"2.0","id":"data:,x","method":"ping"})", false, false},
        {R"({"jsonrpc":"2.0","id":1.5,"method":"ping"})", false, false},
        {R"({"jsonrpc":"2.0","id":9223372036854775808,"method":"ping"})", false, false},
        {R"({"jsonrpc":"2.0","method":"notifications/initialized"})", false, false},
        {R"({"jsonrpc":"2.0","id":1,"method":5})", false, false},
        {R"({"jsonrpc":"2.0","id":1,"method":"data:,ping"})", false, false},
        {R"({"jsonrpc":"1.0","id":1,"method":"ping"})", false, false},
        {R"({"id":1,"method":"ping"})", false, false},
        {R"({"jsonrpc":"2.0","id":1,"method":"ping","result":{}})", false, true},
        {R"({"jsonrpc":"2.0","id":1,"method":"ping","error":{"code":1,"message":"m"}})", false, false},
        {R"({"jsonrpc":"2.0","id":1,"error":{"code":1,"message":"m"}})", false, false},
        {R"([{"jsonrpc":"2.0","id":1,"method":"ping"}])", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto message = Value::fromJSONText(c.text);
        auto request = detail::plainRequest(message);
        auto success = detail::plainSuccess(message);
        EXPECT_EQ(request.has_value(), c.request);
        EXPECT_EQ(success.has_value(), c.success);
        if (request) EXPECT_EQ(request, throughDOM<Request<AnyMethod>>(c.text));
        if (success) EXPECT_EQ(success, throughDOM<Response<AnyMethod>>(c.text));
    }
}

}  // namespace
}  // namespace mcp
