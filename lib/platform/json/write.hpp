#pragma once

#include <string>

#include <boost/json/value.hpp>

namespace platform::json {

/// How `write` lays out its text.
struct WriteOptions {
    /// Members of every object in byte order of their keys instead of insertion order.
    bool sortedKeys = false;
    /// "/" written as "\/".
    bool escapeSlashes = true;
    /// Two-space indent, one member or element per line, " : " after keys.
    bool pretty = false;
};

/// Writes `value` as JSON text: doubles in their shortest round-trip form (a whole double without a
/// fraction: "1"), control characters escaped, other text as raw UTF-8.
/// Throws EncodingError for a NaN or infinite double. Nesting depth is limited only by memory.
std::string write(const boost::json::value& value, const WriteOptions& options = {});

/// Same as `write`, appending to `out`. On an exception `out` holds its old text.
void writeTo(std::string& out, const boost::json::value& value, const WriteOptions& options = {});

}  // namespace platform::json
