#pragma once

#include <functional>
#include <utility>

#include <boost/asio/awaitable.hpp>

#include "mcp/base/detail/envelope_coding.hpp"
#include "mcp/base/messages.hpp"

namespace mcp {

/// An erased notification handler, as the engines keep them in lists per notification. The base
/// handler does nothing and succeeds. The caller keeps the box alive until the call has finished.
class NotificationHandlerBox {
public:
    virtual ~NotificationHandlerBox() = default;

    virtual boost::asio::awaitable<void> operator()(Message<AnyNotification> message) const {
        (void)message;
        co_return;
    }
};

/// A notification handler box around a typed handler for notification N. The erased message
/// becomes a Message<N> (by the parameter rule of the envelopes) and the handler runs; every
/// failure reaches the caller unchanged.
template <Notification N>
class TypedNotificationHandler final : public NotificationHandlerBox {
public:
    using Handler = std::function<boost::asio::awaitable<void>(Message<N>)>;

    explicit TypedNotificationHandler(Handler handler) : handler_(std::move(handler)) {}

    boost::asio::awaitable<void> operator()(Message<AnyNotification> message) const override {
        Message<N> typed(std::move(message.method),
                         detail::parametersFromValue<typename N::Parameters>(message.params));
        co_await handler_(std::move(typed));
    }

private:
    Handler handler_;
};

}  // namespace mcp
