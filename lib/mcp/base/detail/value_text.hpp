#pragma once

#include <string_view>

#include <boost/json/value.hpp>

#include "mcp/base/value.hpp"
#include "platform/json/text_writer.hpp"

namespace mcp::detail {

/// Writes the text of `value.toJSON()` without building it: objects in key order, data as its
/// "data:" URL. Throws the EncodingError `toJSON` throws for a NaN or infinity.
void writeValue(platform::json::TextWriter& writer, const Value& value);

/// Writes the text of `Value::fromJSON(json)` without building the Value: integral numbers as
/// integers, well-formed data URLs in their written form, object members in key order. Throws the
/// error `Value::fromJSON` throws, for the same number.
void writeAsValue(platform::json::TextWriter& writer, const boost::json::value& json);

/// Writes the text of `Value::fromJSON(value.toJSON())`: what `writeValue` writes, with whole
/// doubles as integers and data (and texts that are data URLs) in the form a data URL reads back
/// as. Throws what `toJSON` throws, for the same number.
void writeAsValue(platform::json::TextWriter& writer, const Value& value);

/// Writes the JSON string `text` as the Value read from it is written.
void writeTextAsValue(platform::json::TextWriter& writer, std::string_view text);

}  // namespace mcp::detail
