#pragma once

#include <boost/json/value.hpp>

#include "mcp/base/value.hpp"

namespace mcp::detail {

/// A JSON object read as a map of Values. Throws DecodingError (typeMismatch, or valueNotFound for
/// null) for anything but an object.
Value::Object decodeValueObject(const boost::json::value& json);

}  // namespace mcp::detail
