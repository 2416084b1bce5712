#include "platform/json/decoding_error.hpp"

#include <utility>

namespace platform::json {

DecodingError::DecodingError(Kind kind, std::string description, std::vector<std::string> codingPath)
    : kind(kind), codingPath(std::move(codingPath)), description(std::move(description)) {}

DecodingError DecodingError::dataCorrupted(std::string description) {
    return DecodingError(Kind::dataCorrupted, std::move(description));
}

const char* DecodingError::what() const noexcept {
    return description.c_str();
}

}  // namespace platform::json
