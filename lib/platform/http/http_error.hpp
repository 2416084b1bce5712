#pragma once

#include <stdexcept>
#include <string>
#include <system_error>

namespace platform::http {

/// A failure to load a URL: no reply, or no usable one. A reply with any status is no error.
class HttpError : public std::runtime_error {
public:
    enum class Kind {
        badURL,                  ///< not an absolute http or https URL
        cannotFindHost,          ///< name resolution failed
        cannotConnectToHost,     ///< no endpoint accepted the connection
        secureConnectionFailed,  ///< TLS handshake or certificate check failed
        timedOut,                ///< no progress within the request's time-out, or past its deadline
        networkConnectionLost,   ///< the connection failed or closed before the reply was complete
        badServerResponse,       ///< the reply is no valid HTTP/1.1
        tooManyRedirects,
        cancelled,               ///< the response or the client was cancelled
        responseTooLarge,        ///< a body read whole outgrew the caller's limit
    };

    HttpError(Kind kind, std::string message, std::error_code code = {})
        : std::runtime_error(std::move(message)), kind(kind), code(code) {}

    Kind kind;
    /// The system or library error behind it, when there is one.
    std::error_code code;
};

}  // namespace platform::http
