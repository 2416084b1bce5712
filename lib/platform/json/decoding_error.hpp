#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace platform::json {

/// A JSON value could not be read as the type asked for.
/// `what()` is the description alone, so fixed protocol texts ("Invalid params field") survive intact;
/// `codingPath` names where it happened, outermost key first (array elements by their index).
struct DecodingError : std::exception {
    enum class Kind { keyNotFound, valueNotFound, typeMismatch, dataCorrupted };

    DecodingError(Kind kind, std::string description, std::vector<std::string> codingPath = {});

    /// The error for input that is present but unusable.
    static DecodingError dataCorrupted(std::string description);

    /// The error (dataCorrupted) for a text that names no case of the enumeration `typeName`.
    static DecodingError invalidEnumText(std::string_view typeName, std::string_view text,
                                         std::vector<std::string> codingPath = {});

    const char* what() const noexcept override;

    Kind kind;
    std::vector<std::string> codingPath;
    std::string description;
    /// The lower layer's own account (a parser message), kept apart from `description`; may be empty.
    std::string underlying;
};

}  // namespace platform::json
