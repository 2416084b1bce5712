#include "support/scripted_transport.hpp"

#include "logging/no_op_log_handler.hpp"

#include <stdexcept>
#include <system_error>

namespace testing_support {

ScriptedTransport::ScriptedTransport(std::vector<std::string> chunks)
    : logger_("mcp.transport.scripted", logging::AnyLogHandler(logging::NoOpLogHandler())) {
    for (auto& chunk : chunks) incoming_.yield(std::move(chunk));
}

std::exception_ptr ScriptedTransport::wouldBlockError() {
    return std::make_exception_ptr(std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again)));
}

void ScriptedTransport::push(std::string chunk) {
    incoming_.yield(std::move(chunk));
}

void ScriptedTransport::finish(std::exception_ptr error) {
    incoming_.finish(std::move(error));
}

boost::asio::awaitable<std::string> ScriptedTransport::nextSent() {
    auto next = co_await delivered_.next();
    if (!next) throw std::logic_error("ScriptedTransport: the task waiting for a send was cancelled");
    co_return std::move(*next);
}

boost::asio::awaitable<void> ScriptedTransport::connect() {
    events_.push_back(Event::connect);
    if (connectError_) std::rethrow_exception(connectError_);
    connected_ = true;
    co_return;
}

boost::asio::awaitable<void> ScriptedTransport::disconnect() {
    events_.push_back(Event::disconnect);
    connected_ = false;
    if (finishOnDisconnect_) incoming_.finish();
    co_return;
}

boost::asio::awaitable<void> ScriptedTransport::send(std::string data) {
    events_.push_back(Event::send);
    ++sendAttempts_;
    std::exception_ptr error;
    if (!sendErrors_.empty()) {
        error = sendErrors_.front();
        sendErrors_.pop_front();
    } else if (sendRule_) {
        error = sendRule_(data);
    }
    if (error) std::rethrow_exception(error);
    sent_.push_back(data);
    delivered_.yield(std::move(data));
    co_return;
}

platform::AsyncStream<std::string> ScriptedTransport::receive() {
    events_.push_back(Event::receive);
    return incoming_;
}

}  // namespace testing_support
