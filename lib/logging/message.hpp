#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace logging {

/// The text of one log event. Spelled `Logger::Message` at call sites.
struct Message {
    std::string value;

    Message() = default;
    Message(std::string text) : value(std::move(text)) {}
    Message(std::string_view text) : value(text) {}
    Message(const char* text) : value(text) {}

    const std::string& description() const noexcept { return value; }

    bool operator==(const Message&) const = default;
};

}  // namespace logging
