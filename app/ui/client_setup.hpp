#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <QString>

namespace inkwarden {

/// The AI clients for which the panel gives manual setup: a name, a hint on where the setup goes,
/// and the snippet to paste there. Plain value; safe on any thread.
class ClientSetup {
public:
    enum Kind : std::uint8_t {
        claudeCode,
        claudeDesktop,
        codex,
        geminiCLI,
        cursor,
        vsCode,
        windsurf,
        otherHTTP,
        otherCommand,
    };

    constexpr ClientSetup(Kind kind) noexcept : kind_(kind) {}

    /// Every case, in the order the panel lists them.
    static const std::array<ClientSetup, 9>& allCases() noexcept;

    /// The case whose raw value is exactly `rawValue` (letter case counts); none for any other text.
    static std::optional<ClientSetup> fromRawValue(std::string_view rawValue) noexcept;

    constexpr Kind kind() const noexcept { return kind_; }

    /// The case name, which is what the panel stores under "connectClient".
    std::string_view rawValue() const noexcept;

    /// The display name; the two "Other app" names are translated, product names are not.
    QString name() const;

    /// One translated line saying where the snippet goes.
    QString hint() const;

    /// The text to paste into the client's configuration. `token` is called only by the HTTP case,
    /// since reading the token creates one when none is stored. Never throws for a bad path: a
    /// path that is no UTF-8 makes the JSON snippets "{}".
    std::string snippet(std::string_view executablePath, std::string_view endpoint,
                        const std::function<std::string()>& token) const;

    friend constexpr bool operator==(ClientSetup, ClientSetup) noexcept = default;

private:
    Kind kind_;
};

/// `path` in single quotes for a POSIX shell, each single quote inside written as '\''.
std::string shellQuoted(std::string_view path);

/// The path of the running executable, or the installed path when the system tells none.
std::string applicationExecutablePath();

}  // namespace inkwarden
