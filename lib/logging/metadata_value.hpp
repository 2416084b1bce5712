#pragma once

#include "logging/description.hpp"
#include "logging/metadata_value_attributes.hpp"

#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace logging {

class MetadataValue;

/// Structured data of a log event: text keys to values. Spelled `Logger::Metadata`.
using Metadata = std::map<std::string, MetadataValue, std::less<>>;

/// A value that describes itself as text. It is shared between threads, so `description()` must
/// be safe to call from any of them.
class StringConvertible {
public:
    virtual ~StringConvertible() = default;
    virtual std::string description() const = 0;
};

/// One metadata value: text, a describable value, a nested map or a list.
/// Spelled `Logger::MetadataValue`. Copies are cheap: maps and lists are shared, immutable.
class MetadataValue {
public:
    enum class Kind { string, stringConvertible, dictionary, array };
    using Array = std::vector<MetadataValue>;

    /// Builds a value from literal pieces and interpolated values; see metadata_value_interpolation.hpp.
    class StringInterpolation;

    MetadataValue() : MetadataValue(std::string()) {}
    MetadataValue(std::string text) : value_(std::move(text)) {}
    MetadataValue(std::string_view text) : value_(std::string(text)) {}
    MetadataValue(const char* text) : value_(std::string(text)) {}
    /// Throws std::invalid_argument when `convertible` is null.
    MetadataValue(std::shared_ptr<const StringConvertible> convertible);
    MetadataValue(Metadata dictionary);
    MetadataValue(Array array);

    static MetadataValue string(std::string text) { return MetadataValue(std::move(text)); }
    static MetadataValue stringConvertible(std::shared_ptr<const StringConvertible> convertible) {
        return MetadataValue(std::move(convertible));
    }
    static MetadataValue dictionary(Metadata entries) { return MetadataValue(std::move(entries)); }
    static MetadataValue array(Array elements) { return MetadataValue(std::move(elements)); }

    /// A `stringConvertible` holding a copy of `value`, described when the value is rendered.
    template <Describable T>
    static MetadataValue convertible(T value) {
        return stringConvertible(std::make_shared<const Holder<T>>(std::move(value)));
    }

    /// A `stringConvertible` carrying the description of `value` and the given attributes.
    template <Describable T>
    static MetadataValue attributed(const T& value, MetadataValueAttributes attributes) {
        return attributedText(describeValue(value), std::move(attributes));
    }
    static MetadataValue attributedText(std::string text, MetadataValueAttributes attributes);

    Kind kind() const noexcept { return static_cast<Kind>(value_.index()); }

    /// The payload of each case; null when the value is of another case.
    const std::string* asString() const noexcept;
    const StringConvertible* asStringConvertible() const noexcept;
    const Metadata* asDictionary() const noexcept;
    const Array* asArray() const noexcept;

    /// The text form: a string itself, a convertible's description, and for maps and lists a
    /// bracketed rendering with every inner text double-quoted (["k": "v"], ["a", "b"], [:], []).
    std::string description() const;

    /// The attributes carried by an attributed value; empty for every other value.
    MetadataValueAttributes attributes() const;

    /// Makes a string or convertible value an attributed one with `attributes` (replacing any it
    /// had); maps and lists stay as they are.
    void setAttributes(MetadataValueAttributes attributes);

    /// Values of different cases differ; convertibles compare their descriptions, so attributes
    /// never take part.
    friend bool operator==(const MetadataValue& a, const MetadataValue& b);

    friend std::ostream& operator<<(std::ostream& out, const MetadataValue& value) {
        return out << value.description();
    }

private:
    template <class T>
    struct Holder final : StringConvertible {
        explicit Holder(T v) : value(std::move(v)) {}
        std::string description() const override { return describeValue(value); }
        T value;
    };

    std::variant<std::string, std::shared_ptr<const StringConvertible>, std::shared_ptr<const Metadata>,
                 std::shared_ptr<const Array>>
        value_;
};

/// The text of a metadata map as the metadata value's rendering shows it.
std::string describeMetadata(const Metadata& metadata);

}  // namespace logging
