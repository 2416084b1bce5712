#pragma once

#include <concepts>
#include <cstring>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <ext/atomicity.h>

#include <boost/json/value.hpp>

#include "platform/json/codec.hpp"

namespace mcp {

namespace detail {
class ArrayAssembly;
}

/// The protocol's free-form JSON value: null, bool, int, double, string, data (bytes with an
/// optional MIME type, written as a "data:" URL), array and object.
///
/// Immutable. Arrays, objects, data and strings longer than `kInlineStringSize` live in one
/// reference-counted block shared between copies, so copying is cheap whatever the size; shorter
/// strings are held in the value itself. Equality is by case and payload: `int(1)` is not
/// `double(1.0)`, and a NaN equals nothing. Safe to read and copy from any thread.
class Value {
public:
    enum class Kind : std::uint8_t { null, bool_, int_, double_, string, data, array, object };

    /// What arrays are built from; a Value holds its elements in a block of exactly their number.
    using Array = std::vector<Value>;
    using Object = std::map<std::string, Value, std::less<>>;

    /// The payload of the `data` case: raw bytes (not necessarily UTF-8) and their MIME type.
    struct Data {
        std::optional<std::string> mimeType;
        std::string bytes;
        bool operator==(const Data&) const = default;
    };

    class StringInterpolation;

    /// The longest string held in the value itself, without a block.
    static constexpr std::size_t kInlineStringSize = 15;

    /// The null value, which is also what an erased envelope holds for absent "params".
    Value() noexcept = default;
    Value(std::nullptr_t) noexcept {}
    Value(bool value) noexcept { set(Kind::bool_, value); }
    /// Integers that fit the signed 64-bit range; `char` is text, as a one-character literal.
    template <class T>
        requires std::integral<T> && (!std::same_as<T, bool>) && (!std::same_as<T, char>) &&
                 (std::is_signed_v<T> || sizeof(T) < sizeof(std::int64_t))
    Value(T value) noexcept {
        set(Kind::int_, static_cast<std::int64_t>(value));
    }
    Value(double value) noexcept { set(Kind::double_, value); }
    Value(char value) : Value(std::string_view(&value, 1)) {}
    Value(const char* value) : Value(std::string_view(value)) {}
    Value(std::string_view value);
    Value(const std::string& value) : Value(std::string_view(value)) {}
    Value(Data value);
    /// Empty arrays and objects hold no block, so a document of many costs no allocation.
    Value(Array value);
    Value(Object value);
    Value(StringInterpolation interpolation);

    Value(const Value& other) noexcept {
        std::memcpy(bytes_, other.bytes_, sizeof bytes_);
        retain();
    }
    Value(Value&& other) noexcept {
        std::memcpy(bytes_, other.bytes_, sizeof bytes_);
        other.bytes_[kTagByte] = 0;
    }
    Value& operator=(const Value& other) noexcept {
        Value(other).swap(*this);
        return *this;
    }
    Value& operator=(Value&& other) noexcept {
        Value(std::move(other)).swap(*this);
        return *this;
    }
    ~Value() { release(); }

    /// An array of the given elements, in order.
    static Value array(std::initializer_list<Value> elements) { return Value(Array(elements)); }
    /// An object of the given members; a key given twice keeps the later value.
    static Value object(std::initializer_list<std::pair<std::string, Value>> members);
    static Value data(std::optional<std::string> mimeType, std::string bytes) {
        return Value(Data{std::move(mimeType), std::move(bytes)});
    }

    /// The value that `value` gives when written as JSON and read back as a Value; a Value itself
    /// comes back unchanged. Throws what the encoding throws (EncodingError for a NaN or infinity).
    template <class T>
    static Value from(const T& value) {
        if constexpr (std::is_same_v<T, Value>) {
            return value;
        } else {
            return fromJSON(platform::json::encode(value));
        }
    }

    Kind kind() const noexcept { return static_cast<Kind>(tag() & kKindMask); }

    // Accessors give the payload only for exactly that case; none converts between cases. Views
    // and pointers live as long as this value: a short string's characters are inside it. Name
    // the view before a range-for: `for (x : *v.arrayValue())` would loop over a dead optional.
    bool isNull() const noexcept { return kind() == Kind::null; }
    std::optional<bool> boolValue() const noexcept;
    std::optional<std::int64_t> intValue() const noexcept;
    std::optional<double> doubleValue() const noexcept;
    std::optional<std::string_view> stringValue() const noexcept;
    const Data* dataValue() const noexcept;
    std::optional<std::span<const Value>> arrayValue() const noexcept;
    const Object* objectValue() const noexcept;

    /// The text form used in logs: null is empty, strings are unquoted, doubles keep ".0" ("1.0"),
    /// arrays read "[a, b]", objects "[\"k\": v]" and the empty object "[:]".
    std::string description() const;

    /// The JSON form; data becomes its "data:" URL. Throws EncodingError for a NaN or infinity,
    /// which JSON cannot hold.
    boost::json::value toJSON() const;

    /// Reads any JSON value: integral numbers within the signed 64-bit range as int, other numbers
    /// as double, and strings that are well-formed data URLs as data. Throws EncodingError for a
    /// non-finite double (only a DOM built in memory can hold one, and writing it would fail).
    static Value fromJSON(const boost::json::value& json);

    /// Reads a JSON text as `fromJSON(platform::json::parse(text))` would, without the DOM in
    /// between. Throws DecodingError as `platform::json::parse` does.
    static Value fromJSONText(std::string_view text);

    friend bool operator==(const Value& a, const Value& b) noexcept;

    std::size_t hash() const noexcept;

    void swap(Value& other) noexcept {
        char bytes[sizeof bytes_];
        std::memcpy(bytes, bytes_, sizeof bytes_);
        std::memcpy(bytes_, other.bytes_, sizeof bytes_);
        std::memcpy(other.bytes_, bytes, sizeof bytes_);
    }

private:
    friend class detail::ArrayAssembly;

    // The last byte is the tag: the kind in the low bits, then whether a string lives in a block,
    // then the length of a string held in the first 15 bytes. A payload of 8 bytes comes first.
    static constexpr std::size_t kTagByte = 15;
    static constexpr std::uint8_t kKindMask = 0x07;
    static constexpr std::uint8_t kBlockString = 0x08;
    static constexpr unsigned kLengthShift = 4;

    std::uint8_t tag() const noexcept { return static_cast<std::uint8_t>(bytes_[kTagByte]); }

    template <class T>
    T payload() const noexcept {
        T value;
        std::memcpy(&value, bytes_, sizeof value);
        return value;
    }

    template <class T>
    void set(Kind kind, T payload) noexcept {
        std::memcpy(bytes_, &payload, sizeof payload);
        bytes_[kTagByte] = static_cast<char>(kind);
    }

    void* block() const noexcept { return payload<void*>(); }

    /// Whether the payload points at a block this value holds a reference to.
    bool holdsBlock() const noexcept {
        switch (kind()) {
        case Kind::string: return (tag() & kBlockString) != 0;
        case Kind::data:
        case Kind::array:
        case Kind::object: return block() != nullptr;
        default: return false;
        }
    }
    // Every block starts with its reference count. Counted as std::shared_ptr counts (libstdc++'s
    // dispatch), atomically once the process has a second thread and plainly before.
    _Atomic_word* references() const noexcept { return static_cast<_Atomic_word*>(block()); }
    void retain() const noexcept {
        if (holdsBlock()) __gnu_cxx::__atomic_add_dispatch(references(), 1);
    }
    void release() noexcept {
        if (holdsBlock() && __gnu_cxx::__exchange_and_add_dispatch(references(), -1) == 1) destroyBlock();
    }
    /// Frees the block once its last reference is gone.
    void destroyBlock() noexcept;

    alignas(8) char bytes_[16] = {};
};

static_assert(sizeof(Value) == 16, "a Value is a tag and an 8-byte payload, or a short string");

/// Builds a string Value piece by piece: literal text as it is, every other piece by its text form.
class Value::StringInterpolation {
public:
    explicit StringInterpolation(std::size_t literalCapacity = 0) { stringValue.reserve(literalCapacity); }

    void appendLiteral(std::string_view literal) { stringValue += literal; }

    template <class T>
    void appendInterpolation(const T& value) {
        if constexpr (requires { value.description(); }) {
            stringValue += value.description();
        } else if constexpr (std::is_same_v<T, bool>) {
            stringValue += value ? "true" : "false";
        } else if constexpr (std::is_same_v<T, char>) {
            stringValue += value;
        } else if constexpr (std::is_integral_v<T>) {
            stringValue += std::to_string(value);
        } else if constexpr (std::is_floating_point_v<T>) {
            appendDouble(static_cast<double>(value));
        } else {
            stringValue += std::string_view(value);
        }
    }

    std::string stringValue;

private:
    void appendDouble(double value);
};

inline Value::Value(StringInterpolation interpolation) : Value(std::string_view(interpolation.stringValue)) {}

}  // namespace mcp

template <>
struct std::hash<mcp::Value> {
    std::size_t operator()(const mcp::Value& value) const noexcept { return value.hash(); }
};
