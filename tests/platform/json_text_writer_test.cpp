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
class RandomDocument {
public:
    explicit RandomDocument(std::uint64_t seed) : random_(seed) {}

    value make(int depth) {
        switch (pick(depth > 0 ? 9 : 6)) {
        case 0: return nullptr;
        case 1: return pick(2) == 0;
        case 2: return static_cast<std::int64_t>(random_());
        case 3: return finiteDouble();
        case 4:
        case 5: return value(boost::json::string_view(text()));
        case 6:
        case 7: {
            array a;
            for (int i = pick(5); i > 0; --i) a.push_back(make(depth - 1));
            return a;
        }
        default: {
            object o;
            for (int i = pick(5); i > 0; --i) o[text()] = make(depth - 1);
            return o;
        }
        }
    }

private:
    int pick(int n) { return static_cast<int>(random_() % static_cast<std::uint64_t>(n)); }

    double finiteDouble() {
        for (;;) {
            std::uint64_t bits = random_();
            double d;
            std::memcpy(&d, &bits, sizeof d);
            if (std::isfinite(d)) return d;
        }
    }

    std::string text() {
        static const char* const pieces[] = {"a", "/", "\"", "\\", "\n", "\x01", "\xc3\xa9", "0123456789abcdef"};
        std::string s;
        for (int i = pick(12); i > 0; --i) s += pieces[pick(std::size(pieces))];
        if (pick(20) == 0) s += std::string(5000, 'x');
        return s;
    }

    std::mt19937_64 random_;
};

// The token writer shares the DOM writer's escaping and numbers; a document streamed in insertion
// order must come out as `write` puts it, separators and empty containers included.
TEST(JsonTextWriterTest, WritesWhatTheDOMWriterWrites) {
    RandomDocument documents(77);
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
