#pragma once

#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"

#include <boost/json/value.hpp>

#include <string>
#include <string_view>

namespace testing_support {

/// The text of `json` with its members in their order and "/" unescaped.
inline std::string written(const boost::json::value& json) {
    return platform::json::write(json, {.escapeSlashes = false});
}

/// How a decoding failed: the kind ("keyNotFound", "valueNotFound", "typeMismatch"), or
/// "dataCorrupted: " and the description for data-corrupted errors, whose texts are fixed.
inline std::string failure(const platform::json::DecodingError& error) {
    using Kind = platform::json::DecodingError::Kind;
    switch (error.kind) {
        case Kind::keyNotFound: return "keyNotFound";
        case Kind::valueNotFound: return "valueNotFound";
        case Kind::typeMismatch: return "typeMismatch";
        case Kind::dataCorrupted: break;
    }
    return "dataCorrupted: " + error.description;
}

/// `text` read as a T and written back, or the failure of the reading.
template <class T>
std::string reencode(std::string_view text) {
    try {
        return written(T::fromJSON(platform::json::parse(text)).toJSON());
    } catch (const platform::json::DecodingError& error) {
        return failure(error);
    }
}

}  // namespace testing_support
