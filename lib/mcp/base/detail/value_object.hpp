#pragma once

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

#include "mcp/base/value.hpp"

namespace mcp::detail {

/// The JSON object of a map of Values. Throws EncodingError for a NaN or infinity inside.
boost::json::object encodeValueObject(const Value::Object& fields);

/// A JSON object read as a map of Values. Throws DecodingError (typeMismatch, or valueNotFound for
/// null) for anything but an object.
Value::Object decodeValueObject(const boost::json::value& json);

}  // namespace mcp::detail
