#pragma once

#include <functional>
#include <memory>
#include <utility>

#include <boost/asio/awaitable.hpp>
#include <boost/json/value.hpp>

#include "mcp/base/detail/envelope_coding.hpp"
#include "mcp/base/id.hpp"
#include "mcp/base/messages.hpp"
#include "mcp/base/request_handler_box.hpp"
#include "mcp/base/value.hpp"
#include "platform/json/codec.hpp"

namespace mcp::detail {

/// A method handler's success before it is erased: its id and the JSON of its typed result. Shared,
/// since a task hands its value over by copy.
struct TypedAnswer {
    ID id;
    std::shared_ptr<const boost::json::value> result;
};

/// The server's request handler box. As a box it does what TypedRequestHandler does; `answer` stops
/// short of reading the result as a Value, so that a response written at once can go from the
/// result's JSON straight to text (writeAsValue writes what the Value would).
class MethodBox : public RequestHandlerBox {
public:
    /// Decodes the parameters, runs the handler and encodes its result; fails with what any of
    /// these throws.
    virtual boost::asio::awaitable<TypedAnswer> answer(Request<AnyMethod> request) const = 0;

    boost::asio::awaitable<Response<AnyMethod>> operator()(Request<AnyMethod> request) const final {
        auto typed = co_await answer(std::move(request));
        co_return Response<AnyMethod>(std::move(typed.id), Value::fromJSON(*typed.result));
    }
};

/// The box of a handler of method M, which takes M's parameters and gives its result.
template <Method M>
class TypedMethodBox final : public MethodBox {
public:
    using Handler = std::function<boost::asio::awaitable<typename M::Result>(typename M::Parameters)>;

    explicit TypedMethodBox(Handler handler) : handler_(std::move(handler)) {}

    boost::asio::awaitable<TypedAnswer> answer(Request<AnyMethod> request) const override {
        auto parameters = parametersFromValue<typename M::Parameters>(request.params);
        auto result = co_await handler_(std::move(parameters));
        co_return TypedAnswer{std::move(request.id),
                              std::make_shared<const boost::json::value>(platform::json::encode(result))};
    }

private:
    Handler handler_;
};

}  // namespace mcp::detail
