#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace inkwarden {

class HostStatus;

/// What a mail to support says about the running application and this computer.
struct SupportDiagnostics {
    std::optional<std::string> version;
    std::optional<std::string> build;
    /// The distribution's name and version as it calls itself.
    std::string system;
    /// The hardware model, "?" when unknown.
    std::string model;
    bool running = false;
    std::optional<std::string> problem;
    std::int64_t port = 0;
    std::optional<std::string> lastClient;
    bool companyTextSet = false;
    bool stampSet = false;
    std::optional<std::string> language;

    /// The facts as they are now: the compiled-in version, the host status, the settings, the
    /// stored stamp and the machine. Main thread.
    static SupportDiagnostics gather(const HostStatus& status);
};

/// The mail link to support, with a subject naming the version and a body of diagnostics below
/// room for the user's own words.
class SupportMail {
public:
    SupportMail() = delete;

    /// "1.4 (27)", with "?" for a part that is missing.
    static std::string versionText(const SupportDiagnostics& facts);
    static std::string subject(const SupportDiagnostics& facts);
    /// Three empty lines, a dash line, then the six diagnostic lines.
    static std::string body(const SupportDiagnostics& facts);

    /// "mailto:" + `address` with the query items "subject" and "body", each value
    /// percent-encoded down to the unreserved characters; just "mailto:" + `address` when that
    /// would be no valid URL.
    static std::string link(std::string_view address, std::string_view subject, std::string_view body);

    /// The link to the support address for `facts`.
    static std::string url(const SupportDiagnostics& facts);

    /// The product web site.
    static std::string website();
};

/// Every byte outside A-Z, a-z, 0-9 and "-._~" as "%XX" (upper-case hex digits).
std::string percentEncoded(std::string_view text);

/// The hardware model from the firmware's product name (`file`), up to the first NUL or line
/// break; "?" when it cannot be read or is empty.
std::string hardwareModel(const std::filesystem::path& file = "/sys/devices/virtual/dmi/id/product_name");

}  // namespace inkwarden
