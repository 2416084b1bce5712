#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "mcp/base/http_request.hpp"

namespace inkwarden {

/// Reads the one HTTP/1.1 request of a host connection from the bytes as they arrive. No I/O.
///
/// The header block ends at CR LF CR LF (a bare LF never ends it) and must be UTF-8; the request
/// line needs a method and a path; the body is as long as "Content-Length" says (0 when it is
/// missing or unreadable), and bytes beyond it stay in the body. Anything else refuses the
/// request, and the connection is closed without an answer.
class HostRequestReader {
public:
    struct Limits {
        /// A buffer larger than this without the end of the header block is refused.
        std::size_t maxUnterminatedHeaderBytes = 4194303;
        /// A declared body length above this is refused before any body byte is awaited.
        std::size_t maxBodyBytes = 4194304;
    };

    enum class Status { needMore, complete, refused };

    HostRequestReader();
    explicit HostRequestReader(Limits limits) : limits_(limits) {}

    /// Takes the next bytes received. After `complete` or `refused`, further bytes are ignored.
    Status feed(std::string_view bytes);

    Status status() const noexcept { return status_; }

    /// The request, once complete; the reader keeps nothing of it.
    mcp::HTTPRequest take() { return std::move(request_); }

    /// The bytes the reader holds now: the memory one connection costs.
    std::size_t bufferedBytes() const noexcept { return buffer_.size() + request_.body.value_or("").size(); }

private:
    Status readHeader(std::size_t end);
    Status checkBody();

    Limits limits_;
    Status status_ = Status::needMore;
    std::string buffer_;
    std::size_t searchedUpTo_ = 0;
    bool headerRead_ = false;
    long long bodyLength_ = 0;
    mcp::HTTPRequest request_;
};

}  // namespace inkwarden
