#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace eventsource {

/// The server's reply to an event source is no event stream; the source closes for good.
class EventSourceError : public std::runtime_error {
public:
    enum class Kind { invalidHTTPStatus, invalidContentType };

    /// "Invalid HTTP response status code: " and the code.
    static EventSourceError invalidHTTPStatus(int statusCode);
    /// "Invalid Content-Type for SSE: " and the value as received, or, without a value,
    /// "Missing Content-Type header in SSE response".
    static EventSourceError invalidContentType(std::optional<std::string> contentType);

    Kind kind;
    int statusCode = 0;
    std::optional<std::string> contentType;

private:
    EventSourceError(Kind kind, std::string description) : std::runtime_error(std::move(description)), kind(kind) {}
};

}  // namespace eventsource
