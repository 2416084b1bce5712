#include "eventsource/event.hpp"

#include "platform/json/codec.hpp"

#include <functional>

namespace eventsource {

boost::json::value Event::toJSON() const {
    boost::json::object object;
    if (id) object["id"] = platform::json::encode(*id);
    if (event) object["event"] = platform::json::encode(*event);
    object["data"] = platform::json::encode(data);
    if (retry) object["retry"] = *retry;
    return object;
}

Event Event::fromJSON(const boost::json::value& json) {
    const auto& object = platform::json::asObject(json);
    Event result;
    result.id = platform::json::optional<std::string>(object, "id");
    result.event = platform::json::optional<std::string>(object, "event");
    result.data = platform::json::required<std::string>(object, "data");
    result.retry = platform::json::optional<std::int64_t>(object, "retry");
    return result;
}

}  // namespace eventsource

namespace {

template <class T>
std::size_t hashOptional(const std::optional<T>& value) noexcept {
    return value ? std::hash<T>{}(*value) * 31 + 1 : 0;
}

}  // namespace

std::size_t std::hash<eventsource::Event>::operator()(const eventsource::Event& event) const noexcept {
    std::size_t seed = 0;
    for (std::size_t part : {hashOptional(event.id), hashOptional(event.event), std::hash<std::string>{}(event.data),
                             hashOptional(event.retry)}) {
        seed ^= part + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    }
    return seed;
}
