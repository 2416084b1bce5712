#pragma once

#include <concepts>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>

#include "mcp/base/empty.hpp"
#include "mcp/base/id.hpp"
#include "mcp/base/mcp_error.hpp"
#include "mcp/base/value.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

/// A protocol payload: JSON both ways, equality and a std::hash.
template <class T>
concept Payload = platform::json::JsonCodable<T> && std::equality_comparable<T> && requires(const T& value) {
    { std::hash<T>{}(value) } -> std::convertible_to<std::size_t>;
};

/// A method type: a struct with the method string as `static constexpr std::string_view name` and
/// its `Parameters` and `Result` types. Derive from BasicMethod for the envelope shorthands.
template <class M>
concept Method = requires {
    { M::name } -> std::convertible_to<std::string_view>;
    typename M::Parameters;
    typename M::Result;
} && Payload<typename M::Parameters> && Payload<typename M::Result>;

/// A notification type: a struct with the method string as `name` and its `Parameters` type.
/// Derive from BasicNotification for the envelope shorthand.
template <class N>
concept Notification = requires {
    { N::name } -> std::convertible_to<std::string_view>;
    typename N::Parameters;
} && Payload<typename N::Parameters>;

/// True for a parameter type whose "params" may be left out of a message (or be null): such a
/// message gets the type's parameterless value. Specialise it for such types:
/// `template <> inline constexpr bool mcp::is_not_required_v<ListTools::Parameters> = true;`
template <class T>
inline constexpr bool is_not_required_v = false;

template <>
inline constexpr bool is_not_required_v<Empty> = true;

template <>
inline constexpr bool is_not_required_v<Value> = true;

/// A parameter type marked by `is_not_required_v`, with its parameterless value.
template <class T>
concept NotRequired = is_not_required_v<T> && std::default_initializable<T>;

template <Method M>
struct Request;
template <Method M>
struct Response;
template <Notification N>
struct Message;

/// The envelope shorthands of a method type, which build envelopes with `M::name` as the method:
/// `struct Ping : BasicMethod<Ping> { ... };` then `Ping::request(id)`, `Ping::response(id)`.
template <class Derived>
struct BasicMethod {
    template <class M = Derived>
    static Request<M> request(ID id, typename M::Parameters parameters) {
        return Request<M>(std::move(id), std::string(M::name), std::move(parameters));
    }

    template <class M = Derived>
        requires std::same_as<typename M::Parameters, Empty>
    static Request<M> request(ID id) {
        return Request<M>(std::move(id), std::string(M::name), Empty{});
    }

    template <class M = Derived>
    static Response<M> response(ID id, typename M::Result result) {
        return Response<M>(std::move(id), std::move(result));
    }

    template <class M = Derived>
        requires std::same_as<typename M::Result, Empty>
    static Response<M> response(ID id) {
        return Response<M>(std::move(id), Empty{});
    }

    template <class M = Derived>
    static Response<M> response(ID id, MCPError error) {
        return Response<M>(std::move(id), std::move(error));
    }
};

/// The envelope shorthand of a notification type, `N::message(parameters)` (or `N::message()` for
/// `Empty` parameters). A notification type is itself a value without members: written as {} and
/// read from any JSON value.
template <class Derived>
struct BasicNotification {
    template <class N = Derived>
    static Message<N> message(typename N::Parameters parameters) {
        return Message<N>(std::string(N::name), std::move(parameters));
    }

    template <class N = Derived>
        requires std::same_as<typename N::Parameters, Empty>
    static Message<N> message() {
        return Message<N>(std::string(N::name), Empty{});
    }

    boost::json::value toJSON() const { return boost::json::object(); }
    template <class N = Derived>
    static N fromJSON(const boost::json::value&) noexcept {
        return N{};
    }
    bool operator==(const BasicNotification&) const = default;
};

/// The erased method type: parameters and result are JSON values, the name is empty.
struct AnyMethod : BasicMethod<AnyMethod> {
    static constexpr std::string_view name = "";
    using Parameters = Value;
    using Result = Value;
};

/// The erased notification type: parameters are a JSON value, the name is empty.
struct AnyNotification : BasicNotification<AnyNotification> {
    static constexpr std::string_view name = "";
    using Parameters = Value;
};

}  // namespace mcp

/// Notification types hash alike: they have no members.
template <class N>
    requires std::derived_from<N, mcp::BasicNotification<N>>
struct std::hash<N> {
    std::size_t operator()(const N&) const noexcept { return 0; }
};
