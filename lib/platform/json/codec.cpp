#include "platform/json/codec.hpp"

#include <string>

#include "platform/text.hpp"

namespace platform::json {

namespace {

std::string_view foundText(const boost::json::value& value) {
    switch (value.kind()) {
    case boost::json::kind::null: return "a null value";
    case boost::json::kind::bool_: return "a bool";
    case boost::json::kind::int64:
    case boost::json::kind::uint64:
    case boost::json::kind::double_: return "a number";
    case boost::json::kind::string: return "a string";
    case boost::json::kind::array: return "an array";
    case boost::json::kind::object: return "a dictionary";
    }
    return "an unknown value";
}

}  // namespace

const boost::json::object& asObject(const boost::json::value& value) {
    if (!value.is_object()) detail::throwUnexpected("Dictionary", value);
    return value.get_object();
}

namespace detail {

void throwUnexpected(std::string_view expected, const boost::json::value& found) {
    std::string description = "Expected to decode ";
    description += expected;
    description += " but found ";
    description += foundText(found);
    description += " instead.";
    auto kind = found.is_null() ? DecodingError::Kind::valueNotFound : DecodingError::Kind::typeMismatch;
    throw DecodingError(kind, std::move(description));
}

void throwNumberMismatch(std::string_view expected, const boost::json::value& found) {
    std::string description = "Parsed JSON number <";
    if (found.is_int64()) description += std::to_string(found.get_int64());
    else if (found.is_uint64()) description += std::to_string(found.get_uint64());
    else if (found.is_double()) description += describeDouble(found.get_double());
    description += "> does not fit in ";
    description += expected;
    description += ".";
    throw DecodingError(DecodingError::Kind::typeMismatch, std::move(description));
}

}  // namespace detail

}  // namespace platform::json
