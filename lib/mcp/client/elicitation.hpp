#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <boost/json/value.hpp>

#include "mcp/base/messages.hpp"
#include "mcp/base/metadata.hpp"
#include "mcp/base/value.hpp"

namespace mcp {

/// The values of the server's questions to the user through the client: the mode of a question
/// and the schema of a form. A type without instances.
struct Elicitation {
    Elicitation() = delete;

    enum class Mode { form, url };

    /// The fields of a form. The property schemas are free-form and unchecked, and so is
    /// whether the names in `required` appear among them.
    struct RequestSchema {
        enum class SchemaType { object };

        std::optional<std::string> title = std::nullopt;
        std::optional<std::string> description = std::nullopt;
        Value::Object properties;
        std::optional<std::vector<std::string>> required = std::nullopt;
        SchemaType type = SchemaType::object;

        /// "title" and "description" when present, "properties", "required" when present, "type".
        boost::json::value toJSON() const;
        /// Requires "properties" (an object) and "type" ("object"). Throws DecodingError.
        static RequestSchema fromJSON(const boost::json::value& json);

        bool operator==(const RequestSchema&) const = default;
    };
};

/// "elicitation/create": the server asks the user, through the client, to fill in a form or to
/// open a URL.
struct CreateElicitation : BasicMethod<CreateElicitation> {
    static constexpr std::string_view name = "elicitation/create";

    /// One flat object whose "mode" tells the form: "url" makes the URL case, an absent mode or
    /// "form" the form case.
    struct Parameters {
        struct FormParameters {
            std::string message;
            /// Kept as read: absent stays absent and is not written.
            std::optional<Elicitation::Mode> mode = std::nullopt;
            Elicitation::RequestSchema requestedSchema;
            std::optional<Metadata> meta = std::nullopt;

            /// "message", "mode" when present, "requestedSchema", "_meta" when present.
            boost::json::value toJSON() const;
            /// Requires "message" and "requestedSchema"; "mode" may be absent. Throws
            /// DecodingError.
            static FormParameters fromJSON(const boost::json::value& json);

            bool operator==(const FormParameters&) const = default;
        };

        struct URLParameters {
            std::string message;
            Elicitation::Mode mode = Elicitation::Mode::url;
            /// Carried as received, neither parsed nor checked.
            std::string url;
            std::string elicitationId;
            std::optional<Metadata> meta = std::nullopt;

            URLParameters(std::string message, std::string url, std::string elicitationId,
                          std::optional<Metadata> meta = std::nullopt)
                : message(std::move(message)),
                  url(std::move(url)),
                  elicitationId(std::move(elicitationId)),
                  meta(std::move(meta)) {}

            /// "message", "mode", "url", "elicitationId", then "_meta" when present.
            boost::json::value toJSON() const;
            /// Requires "message", "mode" (either mode, kept as read), "url" and "elicitationId".
            /// Throws DecodingError.
            static URLParameters fromJSON(const boost::json::value& json);

            bool operator==(const URLParameters&) const = default;
        };

        Parameters(FormParameters form) : value(std::move(form)) {}
        Parameters(URLParameters url) : value(std::move(url)) {}

        boost::json::value toJSON() const;
        /// A "mode" other than "form" or "url" fails; "url" reads the URL members and ignores any
        /// schema, otherwise the form members are read and any URL members ignored. Throws
        /// DecodingError.
        static Parameters fromJSON(const boost::json::value& json);

        bool operator==(const Parameters&) const = default;

        std::variant<FormParameters, URLParameters> value;
    };

    struct Result {
        enum class Action { accept, decline, cancel };

        Action action;
        /// What the user entered; nothing ties it to the action.
        std::optional<Value::Object> content = std::nullopt;
        std::optional<Metadata> meta = std::nullopt;

        /// "action", then "content" and "_meta" when present.
        boost::json::value toJSON() const;
        /// Requires "action" ("accept", "decline" or "cancel"). Throws DecodingError.
        static Result fromJSON(const boost::json::value& json);

        bool operator==(const Result&) const = default;
    };
};

/// "notifications/elicitation/complete": the out-of-band interaction of a URL question is over.
struct ElicitationCompleteNotification : BasicNotification<ElicitationCompleteNotification> {
    static constexpr std::string_view name = "notifications/elicitation/complete";

    struct Parameters {
        std::string elicitationId;

        boost::json::value toJSON() const;
        /// Requires "elicitationId". Throws DecodingError.
        static Parameters fromJSON(const boost::json::value& json);

        bool operator==(const Parameters&) const = default;
    };
};

/// The wire texts of the closed sets.
std::string_view rawValue(Elicitation::Mode mode) noexcept;
std::string_view rawValue(CreateElicitation::Result::Action action) noexcept;

}  // namespace mcp

template <>
struct std::hash<mcp::Elicitation::RequestSchema> {
    std::size_t operator()(const mcp::Elicitation::RequestSchema& schema) const noexcept;
};

template <>
struct std::hash<mcp::CreateElicitation::Parameters::FormParameters> {
    std::size_t operator()(const mcp::CreateElicitation::Parameters::FormParameters& parameters) const noexcept;
};

template <>
struct std::hash<mcp::CreateElicitation::Parameters::URLParameters> {
    std::size_t operator()(const mcp::CreateElicitation::Parameters::URLParameters& parameters) const noexcept;
};

template <>
struct std::hash<mcp::CreateElicitation::Parameters> {
    std::size_t operator()(const mcp::CreateElicitation::Parameters& parameters) const noexcept;
};

template <>
struct std::hash<mcp::CreateElicitation::Result> {
    std::size_t operator()(const mcp::CreateElicitation::Result& result) const noexcept;
};

template <>
struct std::hash<mcp::ElicitationCompleteNotification::Parameters> {
    std::size_t operator()(const mcp::ElicitationCompleteNotification::Parameters& parameters) const noexcept;
};
