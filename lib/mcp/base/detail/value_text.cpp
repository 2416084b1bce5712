#include "mcp/base/detail/value_text.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string_view>

#include <boost/container/small_vector.hpp>
#include <boost/json/array.hpp>
#include <boost/json/object.hpp>
#include <boost/json/string.hpp>

#include "mcp/base/data_url.hpp"
#include "platform/json/encoding_error.hpp"
#include "platform/json/integer.hpp"

namespace mcp::detail {

namespace {

using platform::json::TextWriter;

void writeDouble(TextWriter& writer, const Value& value, double number) {
    // The Value's own refusal, with its own text.
    if (!std::isfinite(number)) (void)value.toJSON();
    writer.number(number);
}

/// Walks a DOM as the Value read from it would be written. Members are put in key order through a
/// scratch list shared by all levels.
class AsValueWriter {
public:
    explicit AsValueWriter(TextWriter& writer) : writer_(writer) {}

    void write(const boost::json::value& json) {
        switch (json.kind()) {
        case boost::json::kind::null: writer_.null(); return;
        case boost::json::kind::bool_: writer_.boolean(json.get_bool()); return;
        case boost::json::kind::int64:
        case boost::json::kind::uint64:
        case boost::json::kind::double_: writeNumber(json); return;
        case boost::json::kind::string: writeString(json.get_string()); return;
        case boost::json::kind::array:
            writer_.beginArray();
            for (const auto& element : json.get_array()) write(element);
            writer_.endArray();
            return;
        case boost::json::kind::object: writeObject(json.get_object()); return;
        }
    }

private:
    void writeNumber(const boost::json::value& json) {
        if (auto integer = platform::json::asInteger(json)) {
            writer_.integer(*integer);
            return;
        }
        double number = json.to_number<double>();
        // The reading's own refusal, with its own text.
        if (!std::isfinite(number)) (void)Value::fromJSON(json);
        writer_.number(number);
    }

    void writeString(const boost::json::string& json) {
        writeTextAsValue(writer_, std::string_view(json.data(), json.size()));
    }

    void writeObject(const boost::json::object& object) {
        std::size_t start = members_.size();
        for (const auto& member : object) members_.push_back(&member);
        std::sort(members_.begin() + static_cast<std::ptrdiff_t>(start), members_.end(),
                  [](const auto* a, const auto* b) { return a->key() < b->key(); });
        writer_.beginObject();
        // By index: the nested objects below grow the list.
        for (std::size_t i = start; i < start + object.size(); ++i) {
            const auto* member = members_[i];
            writer_.key(member->key());
            write(member->value());
        }
        writer_.endObject();
        members_.resize(start);
    }

    TextWriter& writer_;
    // Inline room for the members of a few levels of ordinary documents.
    boost::container::small_vector<const boost::json::key_value_pair*, 32> members_;
};

// One walk for both: `ReadBack` writes the Value that reading this one's JSON back would give
// (whole doubles as integers, strings holding data URLs in their canonical form).
template <bool ReadBack>
void writeWalk(TextWriter& writer, const Value& value) {
    switch (value.kind()) {
    case Value::Kind::null: writer.null(); return;
    case Value::Kind::bool_: writer.boolean(*value.boolValue()); return;
    case Value::Kind::int_: writer.integer(*value.intValue()); return;
    case Value::Kind::double_: {
        double number = *value.doubleValue();
        if constexpr (ReadBack) {
            if (auto integer = platform::json::asInteger(boost::json::value(number))) {
                writer.integer(*integer);
                return;
            }
        }
        writeDouble(writer, value, number);
        return;
    }
    case Value::Kind::string:
        if constexpr (ReadBack) writeTextAsValue(writer, *value.stringValue());
        else writer.string(*value.stringValue());
        return;
    case Value::Kind::data: {
        auto url = dataURLEncoded(value.dataValue()->bytes, value.dataValue()->mimeType);
        if constexpr (ReadBack) writeTextAsValue(writer, url);
        else writer.string(url);
        return;
    }
    case Value::Kind::array:
        writer.beginArray();
        for (const auto& element : value.arrayValue().value_or(std::span<const Value>())) {
            writeWalk<ReadBack>(writer, element);
        }
        writer.endArray();
        return;
    case Value::Kind::object:
        writer.beginObject();
        for (const auto& [key, member] : *value.objectValue()) {
            writer.key(key);
            writeWalk<ReadBack>(writer, member);
        }
        writer.endObject();
        return;
    }
}

}  // namespace

void writeValue(TextWriter& writer, const Value& value) { writeWalk<false>(writer, value); }

void writeTextAsValue(TextWriter& writer, std::string_view text) {
    if (text.starts_with("data:")) {
        if (auto url = parseDataURL(text)) {
            writer.string(dataURLEncoded(url->data, url->mimeType));
            return;
        }
    }
    writer.string(text);
}

void writeAsValue(TextWriter& writer, const Value& value) { writeWalk<true>(writer, value); }

void writeAsValue(TextWriter& writer, const boost::json::value& json) {
    try {
        AsValueWriter(writer).write(json);
    } catch (const platform::json::EncodingError&) {
        // Members went out in key order; the reading meets them in document order, and its first
        // refusal is the one to report.
        (void)Value::fromJSON(json);
        throw;
    }
}

}  // namespace mcp::detail
