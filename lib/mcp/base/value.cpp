#include "mcp/base/value.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>
#include <boost/json/string.hpp>

#include "mcp/base/data_url.hpp"
#include "mcp/base/detail/array_assembly.hpp"
#include "mcp/base/detail/value_blocks.hpp"
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
    return Value(text);
}

template <class T>
detail::Boxed<T>* boxed(void* block) noexcept {
    return static_cast<detail::Boxed<T>*>(block);
}

}  // namespace

namespace detail {

ArrayBlock* ArrayBlock::allocate(std::size_t size) {
    if (size > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("Value array too long");
    auto* block = new (::operator new(sizeof(ArrayBlock) + size * sizeof(Value))) ArrayBlock;
    block->size = static_cast<std::uint32_t>(size);
    return block;
}

void ArrayBlock::destroy(ArrayBlock* block, std::size_t made) noexcept {
    std::destroy_n(block->elements(), made);
    block->~ArrayBlock();
    ::operator delete(block);
}

ArrayAssembly::ArrayAssembly(std::size_t size) {
    if (size > 0) block_ = ArrayBlock::allocate(size);
}

ArrayAssembly::ArrayAssembly(ArrayAssembly&& other) noexcept
    : block_(std::exchange(other.block_, nullptr)), made_(std::exchange(other.made_, 0)) {}

ArrayAssembly::~ArrayAssembly() {
    if (block_) ArrayBlock::destroy(block_, made_);
}

void ArrayAssembly::append(Value element) {
    if (made_ == capacity()) throw std::logic_error("Value array assembled past its size");
    new (block_->elements() + made_) Value(std::move(element));
    ++made_;
}

Value ArrayAssembly::finish() && {
    if (made_ != capacity()) throw std::logic_error("Value array assembled short of its size");
    Value array;
    array.set(Value::Kind::array, static_cast<void*>(std::exchange(block_, nullptr)));
    made_ = 0;
    return array;
}

bool ArrayAssembly::sameElements(std::span<const Value> a, std::span<const Value> b) noexcept {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size_bytes()) == 0);
}

std::size_t ArrayAssembly::elementsHash(std::span<const Value> elements) noexcept {
    std::size_t hash = elements.size();
    for (const auto& element : elements) {
        std::uint64_t words[2];
        std::memcpy(words, element.bytes_, sizeof words);
        hash = (hash ^ words[0]) * 0x100000001b3ULL;
        hash = (hash ^ words[1]) * 0x100000001b3ULL;
    }
    // The multiplications carry bits only upwards, and what tells small elements apart (a kind, a
    // double's exponent) sits high: mix it down into every bit the callers index by.
    std::uint64_t mixed = hash;
    mixed = (mixed ^ (mixed >> 33)) * 0xff51afd7ed558ccdULL;
    mixed = (mixed ^ (mixed >> 33)) * 0xc4ceb9fe1a85ec53ULL;
    return static_cast<std::size_t>(mixed ^ (mixed >> 33));
}

}  // namespace detail

Value::Value(std::string_view text) {
    if (text.size() <= kInlineStringSize) {
        std::memcpy(bytes_, text.data(), text.size());
        bytes_[kTagByte] = static_cast<char>(static_cast<std::uint8_t>(Kind::string) | (text.size() << kLengthShift));
        return;
    }
    auto* block = new (::operator new(sizeof(detail::StringBlock) + text.size())) detail::StringBlock;
    block->size = text.size();
    std::memcpy(block->characters(), text.data(), text.size());
    set(Kind::string, static_cast<void*>(block));
    bytes_[kTagByte] |= static_cast<char>(kBlockString);
}

Value::Value(Data value) {
    set(Kind::data, static_cast<void*>(new detail::Boxed<Data>{.value = std::move(value)}));
}

Value::Value(Array value) {
    detail::ArrayAssembly assembly(value.size());
    for (auto& element : value) assembly.append(std::move(element));
    *this = std::move(assembly).finish();
}

Value::Value(Object value) {
    void* block = value.empty() ? nullptr : new detail::Boxed<Object>{.value = std::move(value)};
    set(Kind::object, block);
}

void Value::destroyBlock() noexcept {
    void* block = this->block();
    switch (kind()) {
    case Kind::string: {
        auto* string = static_cast<detail::StringBlock*>(block);
        string->~StringBlock();
        ::operator delete(string);
        return;
    }
    case Kind::data: delete boxed<Data>(block); return;
    case Kind::array: {
        auto* array = static_cast<detail::ArrayBlock*>(block);
        detail::ArrayBlock::destroy(array, array->size);
        return;
    }
    case Kind::object: delete boxed<Object>(block); return;
    default: return;
    }
}

Value Value::object(std::initializer_list<std::pair<std::string, Value>> members) {
    Object object;
    for (const auto& [key, value] : members) object.insert_or_assign(key, value);
    return Value(std::move(object));
}

std::optional<bool> Value::boolValue() const noexcept {
    if (kind() != Kind::bool_) return std::nullopt;
    return payload<bool>();
}

std::optional<std::int64_t> Value::intValue() const noexcept {
    if (kind() != Kind::int_) return std::nullopt;
    return payload<std::int64_t>();
}

std::optional<double> Value::doubleValue() const noexcept {
    if (kind() != Kind::double_) return std::nullopt;
    return payload<double>();
}

std::optional<std::string_view> Value::stringValue() const noexcept {
    if (kind() != Kind::string) return std::nullopt;
    if (tag() & kBlockString) {
        const auto* block = static_cast<const detail::StringBlock*>(this->block());
        return std::string_view(block->characters(), block->size);
    }
    return std::string_view(bytes_, tag() >> kLengthShift);
}

const Value::Data* Value::dataValue() const noexcept {
    if (kind() != Kind::data) return nullptr;
    return &boxed<Data>(block())->value;
}

std::optional<std::span<const Value>> Value::arrayValue() const noexcept {
    if (kind() != Kind::array) return std::nullopt;
    const auto* block = static_cast<const detail::ArrayBlock*>(this->block());
    if (!block) return std::span<const Value>();
    return std::span<const Value>(block->elements(), block->size);
}

const Value::Object* Value::objectValue() const noexcept {
    if (kind() != Kind::object) return nullptr;
    // The one empty object every empty object Value stands for.
    static const Object empty;
    void* block = this->block();
    return block ? &boxed<Object>(block)->value : &empty;
}

std::string Value::description() const {
    switch (kind()) {
    case Kind::null: return {};
    case Kind::bool_: return *boolValue() ? "true" : "false";
    case Kind::int_: return std::to_string(*intValue());
    case Kind::double_: return platform::describeDouble(*doubleValue());
    case Kind::string: return std::string(*stringValue());
    case Kind::data: return dataURLEncoded(dataValue()->bytes, dataValue()->mimeType);
    case Kind::array: {
        std::string text = "[";
        bool first = true;
        for (const auto& element : arrayValue().value_or(std::span<const Value>())) {
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
        auto array = *arrayValue();
        boost::json::array json;
        json.reserve(array.size());
        for (const auto& element : array) json.push_back(element.toJSON());
        return json;
    }
    case Kind::object: return detail::encodeValueObject(*objectValue());
    }
    return nullptr;
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
        detail::ArrayAssembly elements(array.size());
        for (const auto& element : array) elements.append(fromJSON(element));
        return std::move(elements).finish();
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
    case Value::Kind::array: return std::ranges::equal(*a.arrayValue(), *b.arrayValue());
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
    case Kind::array: {
        // As a list: its length, then its elements.
        auto array = *arrayValue();
        hasher.combine(array.size());
        for (const auto& element : array) hasher.add(element);
        break;
    }
    case Kind::object: hasher.add(*objectValue()); break;
    }
    return hasher.finish();
}

void Value::StringInterpolation::appendDouble(double value) {
    stringValue += platform::describeDouble(value);
}

}  // namespace mcp
