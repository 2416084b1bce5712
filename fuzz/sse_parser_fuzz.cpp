// Reads arbitrary bytes as an event stream twice: byte by byte through the parser, and in chunks
// cut where the input says through the event sequence. Both must give the same events, the same
// resumption state and the same bound error, and memory stays within the parser's bounds.

#include "eventsource/async_server_sent_events_sequence.hpp"
#include "platform/async/async_stream.hpp"
#include "platform/async/task.hpp"

#include <boost/asio/io_context.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace asio = boost::asio;
using eventsource::Event;
using eventsource::EventStreamLimitError;
using eventsource::Parser;

constexpr Parser::Options kOptions{.reconnectionTime = 3000, .maxLineBytes = 512, .maxEventDataBytes = 1024, .maxQueuedEvents = 8};

struct Reading {
    std::vector<Event> events;
    std::string lastEventId;
    std::int64_t reconnectionTime = 0;
    bool overflowed = false;
    bool operator==(const Reading&) const = default;
};

Reading readWhole(std::string_view stream) {
    Parser parser(kOptions);
    Reading reading;
    try {
        for (char byte : stream) {
            parser.consume(static_cast<std::uint8_t>(byte));
            while (auto event = parser.getNextEvent()) reading.events.push_back(std::move(*event));
        }
        parser.finish();
        while (auto event = parser.getNextEvent()) reading.events.push_back(std::move(*event));
    } catch (const EventStreamLimitError&) {
        reading.overflowed = true;
    }
    reading.lastEventId = parser.getLastEventId();
    reading.reconnectionTime = parser.getReconnectionTime();
    return reading;
}

asio::awaitable<Reading> readChunked(std::vector<std::string> chunks) {
    platform::AsyncStream<std::string> source;
    for (auto& chunk : chunks) source.yield(std::move(chunk));
    source.finish();
    auto iterator = eventsource::events(source, kOptions).makeAsyncIterator();
    Reading reading;
    try {
        while (auto event = co_await iterator.next()) reading.events.push_back(std::move(*event));
    } catch (const EventStreamLimitError&) {
        reading.overflowed = true;
    }
    reading.lastEventId = iterator.parser().getLastEventId();
    reading.reconnectionTime = iterator.parser().getReconnectionTime();
    co_return reading;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte seeds the chunk sizes, the rest is the stream.
    std::uint32_t seed = data[0];
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<std::string> chunks;
    for (std::size_t offset = 0; offset < stream.size();) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t length = 1 + (seed >> 16) % 17;
        chunks.emplace_back(stream.substr(offset, length));
        offset += length;
    }

    const Reading whole = readWhole(stream);
    asio::io_context io;
    auto task = platform::spawnDetached(io.get_executor(), readChunked(std::move(chunks)));
    io.run();
    if (!task.isFinished() || !(task.get() == whole)) std::abort();
    return 0;
}
