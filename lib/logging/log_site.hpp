#pragma once

#include <source_location>
#include <string>
#include <string_view>

namespace logging {

/// The place in the source that emits a log event: file identifier (module, "/", file name),
/// function and line. Call sites get theirs by default (INKWARDEN_LOG_SITE); capturing it costs
/// a few stores, and the texts are only built once an event passes the level check.
class LogSite {
public:
    /// The site at `where`. The module is `module` when given (the build names the library's
    /// module), else the name of the directory holding the file.
    constexpr LogSite(std::source_location where, const char* module) noexcept : where_(where), module_(module) {}

    /// An explicit site; `fileID` is the module, "/" and the file name ("MCP/server.cpp").
    constexpr LogSite(std::string_view fileID, std::string_view function, unsigned line) noexcept
        : fileID_(fileID), function_(function), line_(line), explicit_(true) {}

    std::string fileID() const;
    std::string_view function() const noexcept { return explicit_ ? function_ : where_.function_name(); }
    unsigned line() const noexcept { return explicit_ ? line_ : where_.line(); }

private:
    std::source_location where_;
    const char* module_ = nullptr;
    std::string_view fileID_;
    std::string_view function_;
    unsigned line_ = 0;
    bool explicit_ = false;
};

}  // namespace logging

// The module that call sites of a target report as their source: the build defines
// INKWARDEN_LOG_SOURCE per target ("MCP" for the library). Only default arguments use it, and
// those are evaluated at each call site, so each target keeps its own.
#ifdef INKWARDEN_LOG_SOURCE
#define INKWARDEN_LOG_MODULE INKWARDEN_LOG_SOURCE
#else
#define INKWARDEN_LOG_MODULE nullptr
#endif

/// The calling site, as a default argument of the log methods. source_location::current() must
/// stand in the default argument itself: g++ 12 gives the wrong line when it is nested deeper.
#define INKWARDEN_LOG_SITE ::logging::LogSite(::std::source_location::current(), INKWARDEN_LOG_MODULE)
