#pragma once

#include "logging/log_handler.hpp"

#include <concepts>
#include <memory>
#include <type_traits>
#include <utility>

namespace logging {

/// A log handler of any type held by value: copying it copies the handler.
class AnyLogHandler {
public:
    template <class H>
        requires std::derived_from<std::remove_cvref_t<H>, LogHandler> &&
                 std::copy_constructible<std::remove_cvref_t<H>>
    AnyLogHandler(H&& handler)
        : handler_(std::make_unique<std::remove_cvref_t<H>>(std::forward<H>(handler))),
          copy_(&copyAs<std::remove_cvref_t<H>>) {}

    AnyLogHandler(const AnyLogHandler& other) : handler_(other.copy_(*other.handler_)), copy_(other.copy_) {}
    AnyLogHandler(AnyLogHandler&&) noexcept = default;
    AnyLogHandler& operator=(const AnyLogHandler& other) {
        if (this != &other) *this = AnyLogHandler(other);
        return *this;
    }
    AnyLogHandler& operator=(AnyLogHandler&&) noexcept = default;

    LogHandler& operator*() noexcept { return *handler_; }
    const LogHandler& operator*() const noexcept { return *handler_; }
    LogHandler* operator->() noexcept { return handler_.get(); }
    const LogHandler* operator->() const noexcept { return handler_.get(); }

    /// The handler as its own type, or null when it is of another.
    template <class H>
    H* as() noexcept {
        return dynamic_cast<H*>(handler_.get());
    }
    template <class H>
    const H* as() const noexcept {
        return dynamic_cast<const H*>(handler_.get());
    }

private:
    using Copy = std::unique_ptr<LogHandler> (*)(const LogHandler&);

    template <class H>
    static std::unique_ptr<LogHandler> copyAs(const LogHandler& handler) {
        return std::make_unique<H>(static_cast<const H&>(handler));
    }

    // Never null, except in a moved-from handler.
    std::unique_ptr<LogHandler> handler_;
    Copy copy_;
};

}  // namespace logging
