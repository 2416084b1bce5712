#pragma once

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <boost/json/value.hpp>

namespace inkwarden {

/// The relay an AI client starts as `inkwarden --stdio`: it reads JSON-RPC lines from its input,
/// posts each to the running application's local endpoint and writes each reply back as one line.
/// It starts the application when nothing listens, and tells the client when the application was
/// restarted between two lines.
///
/// Strictly sequential: the next line is read only once the current one is answered. Uses no Qt
/// and writes nothing to standard error. One object per relay; not thread-safe.
class StdioBridge {
public:
    struct Options {
        int input = STDIN_FILENO;
        int output = STDOUT_FILENO;
        /// Read before every request, so a changed setting is seen by the next line.
        std::function<std::string()> endpoint;
        std::function<std::string()> token;
        std::chrono::milliseconds requestTimeout = std::chrono::seconds(660);
        /// What `launchApp` starts: the running executable, with no arguments.
        std::filesystem::path executable = "/proc/self/exe";
        int probes = 40;
        std::chrono::milliseconds probeInterval = std::chrono::milliseconds(250);
        std::chrono::milliseconds probeTimeout = std::chrono::seconds(60);
        /// Waits one probe interval; replaced in tests to act between probes.
        std::function<void(std::chrono::milliseconds)> pause;
        std::chrono::milliseconds parentCheckInterval = std::chrono::seconds(3);
    };

    /// One answer of the application.
    struct Reply {
        int status = 0;
        std::string body;
        /// The "X-Inkwarden-Launch" header: which run of the application answered.
        std::optional<std::string> launch;
    };

    /// With the settings file's endpoint and token and the standard streams.
    StdioBridge();
    explicit StdioBridge(Options options);

    /// The relay's whole life: the line loop, then exit status 0; exits with 0 as well as soon as
    /// the parent process is gone, even while a request is in flight. Never returns.
    [[noreturn]] void run();

    /// The line loop; returns at the end of input.
    void relay();

    /// Sends `line`; when nothing accepts the connection, starts the application and sends once
    /// more. Throws what the second attempt or the start throws, and any other failure at once.
    Reply post(const std::string& line);

    /// One POST of `line` with the relay's headers. Throws platform::http::HttpError.
    Reply send(const std::string& line);

    /// Starts the application and probes its endpoint until any HTTP answer comes. Throws
    /// std::system_error when it cannot be started and HttpError cannotConnectToHost when every
    /// probe failed.
    void launchApp();

    /// The "id" member of a JSON object line, of any type (null included); none otherwise.
    static std::optional<boost::json::value> requestID(std::string_view line);

    /// For an "initialize" request line: params.clientInfo.title when it is a string, else its
    /// name when that is a string.
    static std::optional<std::string> clientName(std::string_view line);

    /// result.protocolVersion of a reply body, when it is a string.
    static std::optional<std::string> negotiatedVersion(std::string_view body);

    /// The name as "X-Inkwarden-Client" carries it: every character that is no Unicode letter,
    /// mark or number becomes "%XX" for each of its UTF-8 bytes.
    static std::string percentEncodedName(std::string_view name);

    /// `body` as one line: a body holding a line feed that reads as JSON loses the white space
    /// between its tokens and the escapes of "/"; its numbers and other texts stay as written.
    /// Any other body is given as it is.
    static std::string singleLine(std::string body);

    /// Writes `body` as one line to the output, in a single write.
    void emit(std::string_view body);

    /// Writes the JSON-RPC error reply with code -32000 for `id`.
    void emitError(const boost::json::value& id, const std::string& message);

    const std::optional<std::string>& protocolVersion() const noexcept { return protocolVersion_; }

private:
    void watchParent() const;
    void write(std::string_view bytes) const;

    Options options_;
    std::optional<std::string> protocolVersion_;
    std::optional<std::string> clientName_;
    std::optional<std::string> knownLaunch_;
};

}  // namespace inkwarden
