#include "platform/json/parse.hpp"

#include <boost/json/parser.hpp>

#include "platform/json/decoding_error.hpp"

namespace platform::json {

namespace {

boost::json::parse_options parseOptions() {
    boost::json::parse_options options;
    // The library's default of 32 refuses ordinary nested schemas and arguments.
    options.max_depth = 512;
    options.allow_comments = false;
    options.allow_trailing_commas = false;
    options.allow_invalid_utf8 = false;
    return options;
}

}  // namespace

boost::json::value parse(std::string_view text) {
    static const boost::json::parse_options options = parseOptions();
    boost::json::error_code error;
    boost::json::parser parser({}, options);
    parser.write(text.data(), text.size(), error);
    if (!error) {
        auto value = parser.release();
        return value;
    }
    auto failure = DecodingError::dataCorrupted("The given data was not valid JSON.");
    failure.underlying = error.message();
    throw failure;
}

}  // namespace platform::json
