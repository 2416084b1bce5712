#pragma once

#include <stdexcept>
#include <string>

namespace inkwarden {

/// A failure told to the AI client in the tool's own words: the tools/call answer is a text item
/// holding `message()` exactly, with isError set.
class ToolError : public std::runtime_error {
public:
    explicit ToolError(const std::string& message) : std::runtime_error(message) {}

    std::string message() const { return what(); }
};

}  // namespace inkwarden
