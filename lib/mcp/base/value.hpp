#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include <boost/json/value.hpp>

#include "platform/json/codec.hpp"

namespace mcp {

/// The protocol's free-form JSON value: null, bool, int, double, string, data (bytes with an
/// optional MIME type, written as a "data:" URL), array and object.
///
/// Immutable. Arrays, objects and data are shared between copies, so copying is cheap whatever the
/// size. Equality is by case and payload: `int(1)` is not `double(1.0)`, and a NaN equals nothing.
/// Safe to read from any thread.
class Value {
public:
    enum class Kind { null, bool_, int_, double_, string, data, array, object };

    using Array = std::vector<Value>;
    using Object = std::map<std::string, Value, std::less<>>;

    /// The payload of the `data` case: raw bytes (not necessarily UTF-8) and their MIME type.
    struct Data {
        std::optional<std::string> mimeType;
        std::string bytes;
        bool operator==(const Data&) const = default;
    };

    class StringInterpolation;

    /// The null value, which is also what an erased envelope holds for absent "params".
    Value() noexcept = default;
    Value(std::nullptr_t) noexcept {}
    Value(bool value) noexcept : storage_(value) {}
    /// Integers that fit the signed 64-bit range; `char` is text, as a one-character literal.
    template <class T>
        requires std::integral<T> && (!std::same_as<T, bool>) && (!std::same_as<T, char>) &&
                 (std::is_signed_v<T> || sizeof(T) < sizeof(std::int64_t))
    Value(T value) noexcept : storage_(static_cast<std::int64_t>(value)) {}
    Value(double value) noexcept : storage_(value) {}
    Value(char value) : storage_(std::string(1, value)) {}
    Value(const char* value) : storage_(std::string(value)) {}
    Value(std::string_view value) : storage_(std::string(value)) {}
    Value(std::string value) noexcept : storage_(std::move(value)) {}
    Value(Data value) : storage_(std::make_shared<const Data>(std::move(value))) {}
    /// Empty arrays and objects share one instance each, so a document of many costs no allocation.
    Value(Array value) : storage_(share(std::move(value))) {}
    Value(Object value) : storage_(share(std::move(value))) {}
    Value(StringInterpolation interpolation);

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

    Kind kind() const noexcept { return static_cast<Kind>(storage_.index()); }

    // Accessors give the payload only for exactly that case; none converts between cases.
    bool isNull() const noexcept { return kind() == Kind::null; }
    std::optional<bool> boolValue() const noexcept;
    std::optional<std::int64_t> intValue() const noexcept;
    std::optional<double> doubleValue() const noexcept;
    const std::string* stringValue() const noexcept { return std::get_if<std::string>(&storage_); }
    const Data* dataValue() const noexcept;
    const Array* arrayValue() const noexcept;
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

    friend bool operator==(const Value& a, const Value& b) noexcept;

    std::size_t hash() const noexcept;

private:
    static std::shared_ptr<const Array> share(Array value);
    static std::shared_ptr<const Object> share(Object value);

    using Storage = std::variant<std::monostate, bool, std::int64_t, double, std::string,
                                 std::shared_ptr<const Data>, std::shared_ptr<const Array>,
                                 std::shared_ptr<const Object>>;

    Storage storage_;
};

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

inline Value::Value(StringInterpolation interpolation) : storage_(std::move(interpolation.stringValue)) {}

}  // namespace mcp

template <>
struct std::hash<mcp::Value> {
    std::size_t operator()(const mcp::Value& value) const noexcept { return value.hash(); }
};
