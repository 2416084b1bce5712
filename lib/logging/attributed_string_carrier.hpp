#pragma once

#include "logging/metadata_value.hpp"
#include "logging/metadata_value_attributes.hpp"

#include <string>
#include <utility>

namespace logging {

/// The payload of an attributed metadata value: its text and its attributes. Describes itself as
/// its text. Spelled `Logger::AttributedStringCarrier`.
struct AttributedStringCarrier final : StringConvertible {
    AttributedStringCarrier(std::string text, MetadataValueAttributes attributes)
        : string(std::move(text)), metadataAttributes(std::move(attributes)) {}

    std::string description() const override { return string; }

    std::string string;
    MetadataValueAttributes metadataAttributes;
};

}  // namespace logging
