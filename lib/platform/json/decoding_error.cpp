#include "platform/json/decoding_error.hpp"

#include <utility>

namespace platform::json {

DecodingError::DecodingError(Kind kind, std::string description, std::vector<std::string> codingPath)
    : kind(kind), codingPath(std::move(codingPath)), description(std::move(description)) {}

DecodingError DecodingError::dataCorrupted(std::string description) {
    return DecodingError(Kind::dataCorrupted, std::move(description));
}

DecodingError DecodingError::invalidEnumText(std::string_view typeName, std::string_view text,
                                             std::vector<std::string> codingPath) {
    std::string description = "Cannot initialize ";
    description += typeName;
    description += " from invalid String value ";
    description += text;
    return DecodingError(Kind::dataCorrupted, std::move(description), std::move(codingPath));
}

const char* DecodingError::what() const noexcept {
    return description.c_str();
}

}  // namespace platform::json
