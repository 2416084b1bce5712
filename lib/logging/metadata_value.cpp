#include "logging/metadata_value.hpp"

#include "logging/attributed_string_carrier.hpp"

#include <cstdio>
#include <stdexcept>

namespace logging {

namespace {

// Double-quoted, with the quote and the backslash escaped and control characters as escapes.
void appendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\0': out += "\\0"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u{%x}", static_cast<unsigned>(static_cast<unsigned char>(c)));
                out += escape;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

}  // namespace

MetadataValue::MetadataValue(std::shared_ptr<const StringConvertible> convertible) : value_(std::move(convertible)) {
    if (!std::get<1>(value_)) throw std::invalid_argument("MetadataValue: null StringConvertible");
}

MetadataValue::MetadataValue(Metadata dictionary)
    : value_(std::make_shared<const Metadata>(std::move(dictionary))) {}

MetadataValue::MetadataValue(Array array) : value_(std::make_shared<const Array>(std::move(array))) {}

MetadataValue MetadataValue::attributedText(std::string text, MetadataValueAttributes attributes) {
    return stringConvertible(std::make_shared<const AttributedStringCarrier>(std::move(text), std::move(attributes)));
}

const std::string* MetadataValue::asString() const noexcept { return std::get_if<std::string>(&value_); }

const StringConvertible* MetadataValue::asStringConvertible() const noexcept {
    auto* held = std::get_if<std::shared_ptr<const StringConvertible>>(&value_);
    return held ? held->get() : nullptr;
}

const Metadata* MetadataValue::asDictionary() const noexcept {
    auto* held = std::get_if<std::shared_ptr<const Metadata>>(&value_);
    return held ? held->get() : nullptr;
}

const MetadataValue::Array* MetadataValue::asArray() const noexcept {
    auto* held = std::get_if<std::shared_ptr<const Array>>(&value_);
    return held ? held->get() : nullptr;
}

std::string describeMetadata(const Metadata& metadata) {
    if (metadata.empty()) return "[:]";
    std::string out = "[";
    bool first = true;
    for (const auto& [key, value] : metadata) {
        if (!first) out += ", ";
        first = false;
        appendQuoted(out, key);
        out += ": ";
        appendQuoted(out, value.description());
    }
    out += ']';
    return out;
}

std::string MetadataValue::description() const {
    switch (kind()) {
    case Kind::string: return *asString();
    case Kind::stringConvertible: return asStringConvertible()->description();
    case Kind::dictionary: return describeMetadata(*asDictionary());
    case Kind::array: break;
    }
    std::string out = "[";
    bool first = true;
    for (const MetadataValue& element : *asArray()) {
        if (!first) out += ", ";
        first = false;
        appendQuoted(out, element.description());
    }
    out += ']';
    return out;
}

MetadataValueAttributes MetadataValue::attributes() const {
    if (auto* carrier = dynamic_cast<const AttributedStringCarrier*>(asStringConvertible())) {
        return carrier->metadataAttributes;
    }
    return {};
}

void MetadataValue::setAttributes(MetadataValueAttributes attributes) {
    switch (kind()) {
    case Kind::string:
    case Kind::stringConvertible: *this = attributedText(description(), std::move(attributes)); return;
    case Kind::dictionary:
    case Kind::array: return;
    }
}

bool operator==(const MetadataValue& a, const MetadataValue& b) {
    if (a.kind() != b.kind()) return false;
    switch (a.kind()) {
    case MetadataValue::Kind::string: return *a.asString() == *b.asString();
    case MetadataValue::Kind::stringConvertible:
        return a.asStringConvertible()->description() == b.asStringConvertible()->description();
    case MetadataValue::Kind::dictionary: return *a.asDictionary() == *b.asDictionary();
    case MetadataValue::Kind::array: return *a.asArray() == *b.asArray();
    }
    return false;
}

}  // namespace logging
