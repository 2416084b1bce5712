#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include <boost/json/value.hpp>

#include "mcp/base/empty.hpp"

namespace mcp {

/// What a client offers, "capabilities" of the "initialize" parameters; a present member declares
/// the feature. The client engine names it `Client::Capabilities`.
///
/// Decoding is lenient where clients differ: "sampling" and "elicitation" read from any JSON
/// value, and their markers from any non-null one.
struct ClientCapabilities {
    /// The client answers "sampling/createMessage"; the markers declare tool use and context.
    struct Sampling {
        using Tools = Empty;
        using Context = Empty;

        std::optional<Tools> tools{};
        std::optional<Context> context{};

        /// {"tools": {}, "context": {}}, each only when present.
        boost::json::value toJSON() const;
        /// Any non-object gives neither marker; a marker is present when its key holds a non-null
        /// value. Never throws.
        static Sampling fromJSON(const boost::json::value& json);

        bool operator==(const Sampling&) const = default;
    };

    /// The client answers "elicitation/create" in form mode, URL mode or both.
    struct Elicitation {
        using Form = Empty;
        using URL = Empty;

        std::optional<Form> form{};
        std::optional<URL> url{};

        boost::json::value toJSON() const;
        /// Read like Sampling, except that a non-object, or an object declaring neither mode, means
        /// form mode. Never throws.
        static Elicitation fromJSON(const boost::json::value& json);

        bool operator==(const Elicitation&) const = default;
    };

    /// The client answers "roots/list"; `listChanged` true: it announces changes of its roots.
    struct Roots {
        std::optional<bool> listChanged{};

        boost::json::value toJSON() const;
        /// Requires an object whose "listChanged" is a boolean when present. Throws DecodingError.
        static Roots fromJSON(const boost::json::value& json);

        bool operator==(const Roots&) const = default;
    };

    std::optional<Sampling> sampling{};
    std::optional<Elicitation> elicitation{};
    std::optional<std::map<std::string, std::string>> experimental{};
    std::optional<Roots> roots{};

    /// "sampling", "elicitation", "experimental", "roots", each only when present; {} for none.
    boost::json::value toJSON() const;
    /// Requires an object; "experimental" must map to strings and "roots" be as Roots reads it.
    /// Throws DecodingError.
    static ClientCapabilities fromJSON(const boost::json::value& json);

    bool operator==(const ClientCapabilities&) const = default;
};

}  // namespace mcp

template <>
struct std::hash<mcp::ClientCapabilities::Sampling> {
    std::size_t operator()(const mcp::ClientCapabilities::Sampling& sampling) const noexcept;
};

template <>
struct std::hash<mcp::ClientCapabilities::Elicitation> {
    std::size_t operator()(const mcp::ClientCapabilities::Elicitation& elicitation) const noexcept;
};

template <>
struct std::hash<mcp::ClientCapabilities::Roots> {
    std::size_t operator()(const mcp::ClientCapabilities::Roots& roots) const noexcept;
};

template <>
struct std::hash<mcp::ClientCapabilities> {
    std::size_t operator()(const mcp::ClientCapabilities& capabilities) const noexcept;
};
