#pragma once

#include <functional>
#include <utility>

#include <boost/asio/awaitable.hpp>

#include "mcp/base/detail/envelope_coding.hpp"
#include "mcp/base/messages.hpp"

namespace mcp {

/// An erased request handler, as the engines keep them per method: erased request in, erased
/// response out. Shared and immutable; several calls may run at once. The caller keeps the box
/// alive (through its shared_ptr) until the call's awaitable has finished.
class RequestHandlerBox {
public:
    virtual ~RequestHandlerBox() = default;

    /// Runs the handler. Every failure reaches the caller unchanged: decoding errors of the
    /// request, the handler's own errors, encoding errors of the result.
    virtual boost::asio::awaitable<Response<AnyMethod>> operator()(Request<AnyMethod> request) const = 0;
};

/// A request handler box around a typed handler for method M. The erased request becomes a
/// Request<M> ("Missing required params field", "Invalid params field" or the parameter type's
/// own error when it cannot), the handler runs, and a success result becomes a JSON value; a
/// failure response keeps its error. The answer carries the id the handler put in its response.
template <Method M>
class TypedRequestHandler final : public RequestHandlerBox {
public:
    using Handler = std::function<boost::asio::awaitable<Response<M>>(Request<M>)>;

    explicit TypedRequestHandler(Handler handler) : handler_(std::move(handler)) {}

    boost::asio::awaitable<Response<AnyMethod>> operator()(Request<AnyMethod> request) const override {
        Request<M> typed(std::move(request.id), std::move(request.method),
                         detail::parametersFromValue<typename M::Parameters>(request.params));
        Response<M> response = co_await handler_(std::move(typed));
        if (const auto* result = response.success()) {
            co_return Response<AnyMethod>(std::move(response.id), Value::fromJSON(platform::json::encode(*result)));
        }
        co_return Response<AnyMethod>(std::move(response.id), std::move(*std::get_if<1>(&response.result)));
    }

private:
    Handler handler_;
};

}  // namespace mcp
