#include "platform/json/text_writer.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <string>

#include <boost/json.hpp>
#include <gtest/gtest.h>

#include "platform/json/encoding_error.hpp"
#include "platform/json/write.hpp"
#include "support/random_json.hpp"

namespace {

using boost::json::array;
using boost::json::object;
using boost::json::value;
using platform::json::TextWriter;

/// Streams a document token by token, members in insertion order.
void stream(TextWriter& writer, const value& json) {
    switch (json.kind()) {
    case boost::json::kind::null: writer.null(); return;
    case boost::json::kind::bool_: writer.boolean(json.get_bool()); return;
    case boost::json::kind::int64: writer.integer(json.get_int64()); return;
    case boost::json::kind::uint64: writer.integer(static_cast<std::int64_t>(json.get_uint64())); return;
    case boost::json::kind::double_: writer.number(json.get_double()); return;
    case boost::json::kind::string: writer.string(json.get_string()); return;
    case boost::json::kind::array:
        writer.beginArray();
        for (const auto& element : json.get_array()) stream(writer, element);
        writer.endArray();
        return;
    case boost::json::kind::object:
        writer.beginObject();
        for (const auto& member : json.get_object()) {
            writer.key(member.key());
            stream(writer, member.value());
        }
        writer.endObject();
        return;
    }
}

std::string streamed(const value& json, bool escapeSlashes) {
    std::string out;
    TextWriter writer(out, escapeSlashes);
    stream(writer, json);
    writer.finish();
    return out;
}

/// Random documents of every kind of token, with texts that need escapes and some long enough to
/// move the writer off its stack buffer.
testing_support::RandomJson randomDocuments(std::uint64_t seed) {
    return testing_support::RandomJson(seed, {
        .pieces = {"a", "/", "\"", "\\", "\n", "\x01", "\xc3\xa9", "0123456789abcdef"},
        .longTextOneIn = 20,
        .scalarKinds = 6,
        .scalar = [](testing_support::RandomJson& r, int kind) -> value {
            switch (kind) {
            case 0: return nullptr;
            case 1: return r.pick(2) == 0;
            case 2: return static_cast<std::int64_t>(r.bits());
            case 3: return r.finiteDouble();
            default: return value(boost::json::string_view(r.text()));
            }
        },
    });
}

// The token writer shares the DOM writer's escaping and numbers; a document streamed in insertion
// order must come out as `write` puts it, separators and empty containers included.
TEST(JsonTextWriterTest, WritesWhatTheDOMWriterWrites) {
    auto documents = randomDocuments(77);
    for (int i = 0; i < 300; ++i) {
        value document = documents.make(4);
        for (bool slash : {true, false}) {
            std::string expected = platform::json::write(document, {.escapeSlashes = slash});
            SCOPED_TRACE(expected);
            ASSERT_EQ(streamed(document, slash), expected);
        }
    }
    EXPECT_EQ(streamed(object{{"a", array{}}, {"b", object{}}, {"c", array{array{}, object{}}}}, true),
              R"({"a":[],"b":{},"c":[[],{}]})");
}

TEST(JsonTextWriterTest, AppendsOnlyWhenFinished) {
    std::string out = "data: ";
    {
        TextWriter writer(out);
        writer.beginObject();
        writer.key("a/b");
        writer.integer(1);
        writer.endObject();
        EXPECT_EQ(out, "data: ");
        writer.finish();
    }
    EXPECT_EQ(out, R"(data: {"a\/b":1})");
}

TEST(JsonTextWriterTest, RefusesNanAndInfinityLeavingOutputUntouched) {
    const double refused[] = {std::nan(""), std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity()};
    for (std::size_t before : {0, 10000}) {
        for (double d : refused) {
            SCOPED_TRACE(d);
            std::string out = "kept";
            {
                TextWriter writer(out);
                writer.beginArray();
                writer.string(std::string(before, 'x'));
                EXPECT_THROW(writer.number(d), platform::json::EncodingError);
            }
            EXPECT_EQ(out, "kept");
        }
    }
}

}  // namespace
