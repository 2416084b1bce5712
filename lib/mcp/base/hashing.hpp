#pragma once

#include "platform/json/codec.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace mcp {

/// Builds one hash from a sequence of parts, for the std::hash specialisations of protocol values.
/// Optionals feed a presence byte before their value, lists their length before their elements, so
/// an absent member and a present empty one hash apart.
class Hasher {
public:
    Hasher& combine(std::size_t part) noexcept {
        state_ = mix(state_ ^ (part + 0x9e3779b97f4a7c15ULL + (state_ << 6) + (state_ >> 2)));
        return *this;
    }

    template <class T>
    Hasher& add(const T& value) {
        if constexpr (platform::json::detail::isStdOptional<T>) {
            combine(value ? 1 : 0);
            if (value) add(*value);
        } else if constexpr (platform::json::detail::isStdVector<T>) {
            combine(value.size());
            for (const auto& element : value) add(element);
        } else if constexpr (platform::json::detail::isStringMap<T>) {
            // Order-independent, so that maps equal as maps hash alike whatever their ordering.
            combine(value.size());
            std::size_t sum = 0;
            for (const auto& [key, element] : value) sum += Hasher().add(key).add(element).finish();
            combine(sum);
        } else {
            combine(std::hash<T>{}(value));
        }
        return *this;
    }

    template <class... T>
    Hasher& addAll(const T&... values) {
        (add(values), ...);
        return *this;
    }

    std::size_t finish() const noexcept { return static_cast<std::size_t>(state_); }

private:
    static std::uint64_t mix(std::uint64_t x) noexcept {
        x ^= x >> 30;
        x *= 0xbf58476d1ce4e5b9ULL;
        x ^= x >> 27;
        x *= 0x94d049bb133111ebULL;
        x ^= x >> 31;
        return x;
    }

    std::uint64_t state_ = 0;
};

/// The hash of `values` fed in order.
template <class... T>
std::size_t hashValues(const T&... values) {
    return Hasher().addAll(values...).finish();
}

}  // namespace mcp
