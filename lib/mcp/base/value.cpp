#include "mcp/base/value.hpp"

#include <bit>
#include <cmath>
#include <cstdio>

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>
#include <boost/json/string.hpp>

#include "mcp/base/data_url.hpp"
#include "mcp/base/detail/value_object.hpp"
#include "mcp/base/hashing.hpp"
#include "platform/json/decoding_error.hpp"
#include "platform/json/encoding_error.hpp"
#include "platform/json/integer.hpp"
#include "platform/text.hpp"

namespace mcp {

namespace {

void requireFinite(double value) {
    if (!std::isfinite(value)) {
        throw platform::json::EncodingError("Unable to encode " + platform::describeDouble(value) +
                                            " directly in JSON.");
    }
}

// A quoted key in the text form, escaped the way debug output escapes text.
void appendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\'': out += "\\'"; break;
        case '\\': out += "\\\\"; break;
        case '\0': out += "\\0"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                char escape[12];
                std::snprintf(escape, sizeof escape, "\\u{%x}", static_cast<unsigned>(static_cast<unsigned char>(c)));
                out += escape;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

Value fromString(const boost::json::string& json) {
    std::string_view text(json.data(), json.size());
    // Cheap test first: most strings are not data URLs.
    if (text.starts_with("data:")) {
        if (auto url = parseDataURL(text)) return Value::data(std::move(url->mimeType), std::move(url->data));
    }
    return Value(std::string(text));
}

}  // namespace

Value Value::object(std::initializer_list<std::pair<std::string, Value>> members) {
    Object object;
    for (const auto& [key, value] : members) object.insert_or_assign(key, value);
    return Value(std::move(object));
}

std::optional<bool> Value::boolValue() const noexcept {
    if (const auto* value = std::get_if<bool>(&storage_)) return *value;
    return std::nullopt;
}

std::optional<std::int64_t> Value::intValue() const noexcept {
    if (const auto* value = std::get_if<std::int64_t>(&storage_)) return *value;
    return std::nullopt;
}

std::optional<double> Value::doubleValue() const noexcept {
    if (const auto* value = std::get_if<double>(&storage_)) return *value;
    return std::nullopt;
}

const Value::Data* Value::dataValue() const noexcept {
    const auto* data = std::get_if<std::shared_ptr<const Data>>(&storage_);
    return data ? data->get() : nullptr;
}

const Value::Array* Value::arrayValue() const noexcept {
    const auto* array = std::get_if<std::shared_ptr<const Array>>(&storage_);
    return array ? array->get() : nullptr;
}

const Value::Object* Value::objectValue() const noexcept {
    const auto* object = std::get_if<std::shared_ptr<const Object>>(&storage_);
    return object ? object->get() : nullptr;
}

std::string Value::description() const {
    switch (kind()) {
    case Kind::null: return {};
    case Kind::bool_: return *boolValue() ? "true" : "false";
    case Kind::int_: return std::to_string(*intValue());
    case Kind::double_: return platform::describeDouble(*doubleValue());
    case Kind::string: return *stringValue();
    case Kind::data: return dataURLEncoded(dataValue()->bytes, dataValue()->mimeType);
    case Kind::array: {
        std::string text = "[";
        bool first = true;
        for (const auto& element : *arrayValue()) {
            if (!first) text += ", ";
            first = false;
            text += element.description();
        }
        return text + "]";
    }
    case Kind::object: {
        const auto& object = *objectValue();
        if (object.empty()) return "[:]";
        std::string text = "[";
        bool first = true;
        for (const auto& [key, value] : object) {
            if (!first) text += ", ";
            first = false;
            appendQuoted(text, key);
            text += ": ";
            text += value.description();
        }
        return text + "]";
    }
    }
    return {};
}

boost::json::value Value::toJSON() const {
    switch (kind()) {
    case Kind::null: return nullptr;
    case Kind::bool_: return *boolValue();
    case Kind::int_: return *intValue();
    case Kind::double_: {
        double value = *doubleValue();
        requireFinite(value);
        return value;
    }
    case Kind::string: return boost::json::string_view(*stringValue());
    case Kind::data: return boost::json::string(dataURLEncoded(dataValue()->bytes, dataValue()->mimeType));
    case Kind::array: {
        const auto& array = *arrayValue();
        boost::json::array json;
        json.reserve(array.size());
        for (const auto& element : array) json.push_back(element.toJSON());
        return json;
    }
    case Kind::object: return detail::encodeValueObject(*objectValue());
    }
    return nullptr;
}

std::shared_ptr<const Value::Array> Value::share(Array value) {
    static const auto empty = std::make_shared<const Array>();
    if (value.empty()) return empty;
    return std::make_shared<const Array>(std::move(value));
}

std::shared_ptr<const Value::Object> Value::share(Object value) {
    static const auto empty = std::make_shared<const Object>();
    if (value.empty()) return empty;
    return std::make_shared<const Object>(std::move(value));
}

Value Value::fromJSON(const boost::json::value& json) {
    switch (json.kind()) {
    case boost::json::kind::null: return Value();
    case boost::json::kind::bool_: return Value(json.get_bool());
    case boost::json::kind::int64:
    case boost::json::kind::uint64:
    case boost::json::kind::double_: {
        if (auto integer = platform::json::asInteger(json)) return Value(*integer);
        double value = json.to_number<double>();
        requireFinite(value);
        return Value(value);
    }
    case boost::json::kind::string: return fromString(json.get_string());
    case boost::json::kind::array: {
        const auto& array = json.get_array();
        Array elements;
        elements.reserve(array.size());
        for (const auto& element : array) elements.push_back(fromJSON(element));
        return Value(std::move(elements));
    }
    case boost::json::kind::object: {
        Object members;
        for (const auto& member : json.get_object()) {
            members.insert_or_assign(std::string(member.key()), fromJSON(member.value()));
        }
        return Value(std::move(members));
    }
    }
    throw platform::json::DecodingError::dataCorrupted("Value type not found");
}

bool operator==(const Value& a, const Value& b) noexcept {
    if (a.kind() != b.kind()) return false;
    switch (a.kind()) {
    case Value::Kind::null: return true;
    case Value::Kind::bool_: return *a.boolValue() == *b.boolValue();
    case Value::Kind::int_: return *a.intValue() == *b.intValue();
    case Value::Kind::double_: return *a.doubleValue() == *b.doubleValue();
    case Value::Kind::string: return *a.stringValue() == *b.stringValue();
    case Value::Kind::data: return *a.dataValue() == *b.dataValue();
    // Element by element even when shared: a NaN inside must not equal itself.
    case Value::Kind::array: return *a.arrayValue() == *b.arrayValue();
    case Value::Kind::object: return *a.objectValue() == *b.objectValue();
    }
    return false;
}

std::size_t Value::hash() const noexcept {
    Hasher hasher;
    hasher.combine(static_cast<std::size_t>(kind()));
    switch (kind()) {
    case Kind::null: break;
    case Kind::bool_: hasher.combine(*boolValue() ? 1 : 0); break;
    case Kind::int_: hasher.add(*intValue()); break;
    case Kind::double_: {
        double value = *doubleValue();
        if (value == 0) value = 0.0;  // -0.0 equals +0.0, so it hashes alike
        hasher.combine(std::bit_cast<std::uint64_t>(value));
        break;
    }
    case Kind::string: hasher.add(*stringValue()); break;
    case Kind::data: hasher.add(dataValue()->mimeType).add(dataValue()->bytes); break;
    case Kind::array: hasher.add(*arrayValue()); break;
    case Kind::object: hasher.add(*objectValue()); break;
    }
    return hasher.finish();
}

void Value::StringInterpolation::appendDouble(double value) {
    stringValue += platform::describeDouble(value);
}

}  // namespace mcp
