#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <boost/json/object.hpp>

#include "platform/json/codec.hpp"
#include "platform/json/decoding_error.hpp"

namespace mcp::detail {

/// The wire texts of a closed enumeration, matched exactly and case-sensitively.
/// `typeName` names the enumeration in the decoder's invalid-value error.
template <class E, std::size_t N>
struct RawValues {
    std::string_view typeName;
    std::array<std::pair<E, std::string_view>, N> cases;

    constexpr std::string_view text(E value) const noexcept {
        for (const auto& [each, text] : cases) {
            if (each == value) return text;
        }
        return {};
    }

    constexpr std::optional<E> fromText(std::string_view text) const noexcept {
        for (const auto& [each, raw] : cases) {
            if (raw == text) return each;
        }
        return std::nullopt;
    }

    /// The case named by the string member `key`, or nothing when it is missing or null. Throws
    /// DecodingError: typeMismatch for a non-string, dataCorrupted (the invalid-value error) for
    /// a string that names no case.
    std::optional<E> optional(const boost::json::object& object, std::string_view key) const {
        auto raw = platform::json::optional<std::string>(object, key);
        if (!raw) return std::nullopt;
        return named(*raw, key);
    }

    /// As `optional`, but a missing or null member fails as `required` does.
    E required(const boost::json::object& object, std::string_view key) const {
        return named(platform::json::required<std::string>(object, key), key);
    }

    E named(std::string_view raw, std::string_view key) const {
        if (auto value = fromText(raw)) return *value;
        throw platform::json::DecodingError::invalidEnumText(typeName, raw, {std::string(key)});
    }
};

}  // namespace mcp::detail
