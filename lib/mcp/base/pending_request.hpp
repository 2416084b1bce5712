#pragma once

#include <any>
#include <exception>
#include <functional>
#include <memory>
#include <utility>

#include "mcp/base/detail/envelope_coding.hpp"
#include "mcp/base/type_mismatch_error.hpp"
#include "mcp/base/value.hpp"
#include "platform/async/one_shot.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

/// The waiter of one outgoing request whose caller expects a T.
template <class T>
struct PendingRequest {
    explicit PendingRequest(platform::OneShot<T> continuation) : continuation(std::move(continuation)) {}

    platform::OneShot<T> continuation;
};

/// A pending request of any result type, as the engines keep them by request id.
///
/// Resuming with a value hands the waiter that value when it is a T, or, when it is a Value (the
/// result member of a reply), the T it reads as; anything else, or a Value that does not read as
/// a T, fails the waiter with TypeMismatchError. Each call resumes exactly once; the waiter sees
/// only the first resumption. Copies share the waiter. Use on the waiter's runtime thread.
class AnyPendingRequest {
public:
    template <class T>
    explicit AnyPendingRequest(PendingRequest<T> pending)
        : resume_([continuation = std::move(pending.continuation)](std::any* value, std::exception_ptr error) {
              if (!value) {
                  continuation.fail(std::move(error));
              } else if (auto* typed = std::any_cast<T>(value)) {
                  continuation.resume(std::move(*typed));
              } else if (auto* json = std::any_cast<Value>(value)) {
                  resumeWithConverted(continuation, *json);
              } else {
                  continuation.fail(std::make_exception_ptr(TypeMismatchError()));
              }
          }) {}

    void resumeReturning(std::any value) const { resume_(&value, nullptr); }
    void resumeThrowing(std::exception_ptr error) const { resume_(nullptr, std::move(error)); }

private:
    template <class T>
    static void resumeWithConverted(const platform::OneShot<T>& continuation, const Value& json) {
        std::optional<T> converted;
        try {
            if constexpr (detail::ReadableFromValue<T>) {
                converted.emplace(T::fromValue(json));
            } else {
                converted.emplace(platform::json::decode<T>(json.toJSON()));
            }
        } catch (...) {
            // Why the reply does not fit is not the waiter's business: it gets TypeMismatchError.
        }
        if (converted) {
            continuation.resume(std::move(*converted));
        } else {
            continuation.fail(std::make_exception_ptr(TypeMismatchError()));
        }
    }

    std::function<void(std::any*, std::exception_ptr)> resume_;
};

}  // namespace mcp
