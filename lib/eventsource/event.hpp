#pragma once

#include <boost/json/value.hpp>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace eventsource {

/// One dispatched server-sent event.
struct Event {
    /// Absent when no accepted "id" line preceded the event.
    std::optional<std::string> id;
    /// The event type; absent when no "event" line preceded it (there is no default type).
    std::optional<std::string> event;
    /// The data lines joined by LF; may be empty.
    std::string data;
    /// The reconnection time in milliseconds given within this event.
    std::optional<std::int64_t> retry;

    bool operator==(const Event&) const = default;

    /// {"id", "event", "data", "retry"}: "data" always, the others only when present.
    boost::json::value toJSON() const;
    /// Requires "data"; the other keys may be absent. Throws platform::json::DecodingError.
    static Event fromJSON(const boost::json::value& json);
};

}  // namespace eventsource

template <>
struct std::hash<eventsource::Event> {
    std::size_t operator()(const eventsource::Event& event) const noexcept;
};
