#pragma once

#include "mcp/base/transport.hpp"

#include "logging/logger.hpp"
#include "platform/async/async_stream.hpp"

#include <boost/asio/awaitable.hpp>

#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

/// A Transport for tests: its receive stream yields scripted chunks, it records what is sent, and
/// it fails `connect` or `send` on request. Confined to the runtime thread of the test.
///
/// The stream holds the chunks given at construction and stays open until `finish` is called or
/// the transport is disconnected; more chunks may be pushed at any time.
class ScriptedTransport final : public mcp::Transport {
public:
    /// What happened to the transport, in order.
    enum class Event { connect, receive, send, disconnect };

    explicit ScriptedTransport(std::vector<std::string> chunks = {});

    /// The error of a send that would block (EAGAIN), as a non-blocking channel reports it.
    static std::exception_ptr wouldBlockError();

    // Scripting the peer.

    /// Adds one element to the receive stream.
    void push(std::string chunk);
    /// Ends the receive stream normally, or with `error` when it is not null.
    void finish(std::exception_ptr error = nullptr);
    /// Makes `connect` throw `error`.
    void failConnect(std::exception_ptr error) { connectError_ = std::move(error); }
    /// Makes the next send throw `error` without delivering its buffer; queued errors are used one
    /// send each, in order.
    void failNextSend(std::exception_ptr error) { sendErrors_.push_back(std::move(error)); }
    /// Consulted for every send that no queued error fails: a non-null result fails that send.
    void failSendsWhen(std::function<std::exception_ptr(std::string_view data)> rule) { sendRule_ = std::move(rule); }
    /// Whether `disconnect` ends the receive stream (normally), as closing a real channel does.
    /// On by default.
    void setFinishOnDisconnect(bool finish) { finishOnDisconnect_ = finish; }
    void setLogger(logging::Logger logger) { logger_ = std::move(logger); }

    // What happened.

    /// The buffers delivered by successful sends, in order.
    const std::vector<std::string>& sent() const noexcept { return sent_; }
    /// Every send, failed ones included.
    std::size_t sendAttempts() const noexcept { return sendAttempts_; }
    const std::vector<Event>& events() const noexcept { return events_; }
    bool isConnected() const noexcept { return connected_; }

    /// The next buffer delivered by a send, in order; waits for it when none is there yet. One
    /// waiting caller at a time.
    boost::asio::awaitable<std::string> nextSent();

    // The Transport interface.

    logging::Logger logger() const override { return logger_; }
    boost::asio::awaitable<void> connect() override;
    boost::asio::awaitable<void> disconnect() override;
    boost::asio::awaitable<void> send(std::string data) override;
    platform::AsyncStream<std::string> receive() override;

private:
    logging::Logger logger_;
    platform::AsyncStream<std::string> incoming_;
    platform::AsyncStream<std::string> delivered_;
    std::exception_ptr connectError_;
    std::deque<std::exception_ptr> sendErrors_;
    std::function<std::exception_ptr(std::string_view)> sendRule_;
    bool finishOnDisconnect_ = true;
    bool connected_ = false;
    std::vector<std::string> sent_;
    std::size_t sendAttempts_ = 0;
    std::vector<Event> events_;
};

}  // namespace testing_support
