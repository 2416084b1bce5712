#pragma once

#include "logging/description.hpp"
#include "logging/metadata_value.hpp"
#include "logging/metadata_value_attributes.hpp"

#include <concepts>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace logging {

/// Builds a metadata value from literal pieces and interpolated values, each appended as its
/// text. The result is a `string`, or, when an interpolation carried attributes, an attributed
/// `stringConvertible` with the same text.
///
///     MetadataValue::StringInterpolation text(7, 1);
///     text.appendLiteral("read ");
///     text.appendInterpolation(count, [](MetadataValueAttributes& a) { a.set(Sensitivity::low); });
///     text.appendLiteral(" bytes");
///     MetadataValue value = std::move(text).finish();
class MetadataValue::StringInterpolation {
public:
    /// Reserves room for the literal text plus two characters per interpolation.
    StringInterpolation(std::size_t literalCapacity, std::size_t interpolationCount) {
        output_.reserve(literalCapacity + 2 * interpolationCount);
    }

    void appendLiteral(std::string_view literal) { output_ += literal; }

    template <Describable T>
    void appendInterpolation(const T& value) {
        appendDescription(output_, value);
    }

    /// The value when present, else the text `defaultText` returns, called only then.
    template <Describable T, class Default>
        requires std::invocable<Default&> && std::convertible_to<std::invoke_result_t<Default&>, std::string_view>
    void appendInterpolation(const std::optional<T>& value, Default&& defaultText) {
        if (value) {
            appendDescription(output_, *value);
        } else {
            output_ += std::string_view(defaultText());
        }
    }

    /// The value, then `edit` called once to change the collected attributes.
    template <Describable T, class Edit>
        requires std::invocable<Edit&, MetadataValueAttributes&>
    void appendInterpolation(const T& value, Edit&& edit) {
        appendDescription(output_, value);
        edit(attributes_);
        hasAttributes_ = true;
    }

    /// The value, then `attributes` merged into the collected ones (given entries win).
    template <Describable T>
    void appendInterpolation(const T& value, const MetadataValueAttributes& attributes) {
        appendDescription(output_, value);
        if (hasAttributes_) {
            attributes_.merge(attributes);
        } else {
            attributes_ = attributes;
        }
        hasAttributes_ = true;
    }

    const std::string& output() const noexcept { return output_; }
    const MetadataValueAttributes& attributes() const noexcept { return attributes_; }
    bool hasAttributes() const noexcept { return hasAttributes_; }

    MetadataValue finish() && {
        if (hasAttributes_) return attributedText(std::move(output_), std::move(attributes_));
        return MetadataValue(std::move(output_));
    }

private:
    std::string output_;
    MetadataValueAttributes attributes_;
    bool hasAttributes_ = false;
};

}  // namespace logging
