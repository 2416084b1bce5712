#include "eventsource/event_source_error.hpp"

namespace eventsource {

EventSourceError EventSourceError::invalidHTTPStatus(int statusCode) {
    EventSourceError error(Kind::invalidHTTPStatus, "Invalid HTTP response status code: " + std::to_string(statusCode));
    error.statusCode = statusCode;
    return error;
}

EventSourceError EventSourceError::invalidContentType(std::optional<std::string> contentType) {
    EventSourceError error(Kind::invalidContentType, contentType ? "Invalid Content-Type for SSE: " + *contentType
                                                                 : "Missing Content-Type header in SSE response");
    error.contentType = std::move(contentType);
    return error;
}

}  // namespace eventsource
