#pragma once

#include <string_view>

namespace logging {

/// A text stream that a StreamLogHandler writes whole lines to. Shared between threads: `write`
/// may be called from any of them at once.
class TextOutputStream {
public:
    virtual ~TextOutputStream() = default;
    virtual void write(std::string_view text) = 0;
};

}  // namespace logging
