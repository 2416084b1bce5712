#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/settings_file.hpp"

namespace inkwarden {

/// The settings both the application and its relays read, kept in the settings file of the
/// user's config folder. Nothing is cached: each read sees what the last writer stored, in either
/// process. Reads never fail (a missing, damaged or mistyped value reads as its default); writes
/// throw std::system_error when the file cannot be written. Safe from any thread.
class AppSettings {
public:
    AppSettings() = delete;

    /// The port used when none (or 0, or something no number) is stored.
    static constexpr std::int64_t kDefaultPort = 47292;

    /// The settings file: $XDG_CONFIG_HOME/inkwarden/settings.json.
    static SettingsFile file();

    /// The stored "port" read as an integer (a whole number, or a text of one), with 0, absent
    /// and unreadable replaced by 47292. Values outside 1...65535 are given as they are: the host
    /// refuses them, and the endpoint shows them.
    static std::int64_t port();

    /// "http://127.0.0.1:" + port + "/mcp".
    static std::string endpoint();

    /// The stored access token as it is (even empty); when none is stored, a new one is made and
    /// stored first, under the file's lock, so concurrent first readers in any process get the
    /// same token. Falls back to a fresh, unstored token if the file cannot be written.
    static std::string token();

    /// Replaces the stored token (the panel's reset).
    static void setToken(const std::string& token);

    /// A fresh token: 24 bytes from the system's secure random generator as 48 lowercase hex
    /// digits.
    static std::string randomToken();

    /// The stored company text normalised: trimmed of white space and line breaks, split at line
    /// feeds (inner empty lines kept), the first 6 lines joined again, then its first 300
    /// user-perceived characters.
    static std::string companyText();
    static void setCompanyText(const std::string& text);

    static bool hasConnectedClient();
    static void setHasConnectedClient(bool value);

    static bool hasSeenWelcome();
    static void setHasSeenWelcome(bool value);

    /// Seconds since 1970-01-01 00:00 UTC; 0 when never checked.
    static double lastUpdateCheck();
    static void setLastUpdateCheck(double secondsSince1970);

    /// Called with the key after every write made through this class, on the writing thread.
    using Observer = std::function<void(std::string_view key)>;

    /// Adds an observer for the life of the process; returns nothing to remove it with.
    static void observe(Observer observer);

    /// The company text limits shared with the tool that changes it.
    static constexpr std::size_t kCompanyTextMaxLines = 6;
    static constexpr std::size_t kCompanyTextMaxCharacters = 300;
};

}  // namespace inkwarden
