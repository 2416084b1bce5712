#pragma once

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

#include <boost/asio/awaitable.hpp>
#include <boost/json/value.hpp>

#include "mcp/base/detail/envelope_coding.hpp"
#include "mcp/base/detail/value_text.hpp"
#include "mcp/base/id.hpp"
#include "mcp/base/mcp_error.hpp"
#include "mcp/base/messages.hpp"
#include "mcp/base/request_handler_box.hpp"
#include "mcp/base/value.hpp"
#include "mcp/server/detail/result_text.hpp"
#include "platform/json/codec.hpp"
#include "platform/json/text_writer.hpp"

namespace mcp::detail {

/// A handler's success result as the erased response carries it: the Value read from the result's
/// JSON. Held unread, so that a response written at once can go straight to text.
class AnswerResult {
public:
    virtual ~AnswerResult() = default;

    /// Writes the text of `read()` without building it. Throws what `read()` throws.
    virtual void write(platform::json::TextWriter& writer) const = 0;
    /// The Value read from the result's JSON. Throws EncodingError for a NaN or infinity.
    virtual Value read() const = 0;
};

/// A result held as its JSON, made where the handler ran.
class JSONAnswerResult final : public AnswerResult {
public:
    explicit JSONAnswerResult(boost::json::value json) : json_(std::move(json)) {}

    void write(platform::json::TextWriter& writer) const override { writeAsValue(writer, json_); }
    Value read() const override { return Value::fromJSON(json_); }

private:
    boost::json::value json_;
};

/// A result of a type that is written straight to text (`writeResultAsValue`), held as it is.
template <class T>
class TypedAnswerResult final : public AnswerResult {
public:
    explicit TypedAnswerResult(T result) : result_(std::move(result)) {}

    void write(platform::json::TextWriter& writer) const override { writeResultAsValue(writer, result_); }
    Value read() const override { return Value::fromJSON(platform::json::encode(result_)); }

private:
    T result_;
};

template <class T>
concept WrittenStraightToText = requires(platform::json::TextWriter& writer, const T& result) {
    writeResultAsValue(writer, result);
};

/// A result a handler keeps and hands out shared, held without a copy.
template <class T>
class SharedAnswerResult final : public AnswerResult {
public:
    explicit SharedAnswerResult(std::shared_ptr<const T> result) : result_(std::move(result)) {}

    void write(platform::json::TextWriter& writer) const override { writeResultAsValue(writer, result_); }
    Value read() const override { return Value::fromJSON(platform::json::encode(*result_)); }

private:
    std::shared_ptr<const T> result_;
};

/// A method handler's success before it is erased: its id and its result. Shared, since a task
/// hands its value over by copy.
struct TypedAnswer {
    ID id;
    std::shared_ptr<const AnswerResult> result;
};

/// The server's request handler box. As a box it does what TypedRequestHandler does; `answer` stops
/// short of reading the result as a Value, so that a response written at once can go from the
/// result to text.
class MethodBox : public RequestHandlerBox {
public:
    /// Decodes the parameters and runs the handler; fails with what either throws, and with what
    /// encoding the result throws unless it is written straight to text.
    virtual boost::asio::awaitable<TypedAnswer> answer(Request<AnyMethod> request) const = 0;

    boost::asio::awaitable<Response<AnyMethod>> operator()(Request<AnyMethod> request) const final {
        auto typed = co_await answer(std::move(request));
        co_return Response<AnyMethod>(std::move(typed.id), typed.result->read());
    }
};

/// The box of a handler of method M, which takes M's parameters and gives its result, or, when
/// `Shared`, the result shared.
template <Method M, bool Shared = false>
class TypedMethodBox final : public MethodBox {
public:
    using Result = typename M::Result;
    using Answered = std::conditional_t<Shared, std::shared_ptr<const Result>, Result>;
    using Handler = std::function<boost::asio::awaitable<Answered>(typename M::Parameters)>;

    explicit TypedMethodBox(Handler handler) : handler_(std::move(handler)) {}

    boost::asio::awaitable<TypedAnswer> answer(Request<AnyMethod> request) const override {
        auto parameters = parametersFromValue<typename M::Parameters>(request.params);
        // What the parameters did not take over is not kept while the handler runs.
        request.params = Value();
        auto result = co_await handler_(std::move(parameters));
        std::shared_ptr<const AnswerResult> held;
        if constexpr (Shared) {
            if (!result) throw MCPError::internalError("Handler gave no result");
            if constexpr (WrittenStraightToText<Result>) {
                held = std::make_shared<const SharedAnswerResult<Result>>(std::move(result));
            } else {
                held = std::make_shared<const JSONAnswerResult>(platform::json::encode(*result));
            }
        } else if constexpr (WrittenStraightToText<Result>) {
            held = std::make_shared<const TypedAnswerResult<Result>>(std::move(result));
        } else {
            held = std::make_shared<const JSONAnswerResult>(platform::json::encode(result));
        }
        co_return TypedAnswer{std::move(request.id), std::move(held)};
    }

private:
    Handler handler_;
};

}  // namespace mcp::detail
