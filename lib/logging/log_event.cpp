#include "logging/log_event.hpp"

#include "logging/module_name.hpp"

#include <utility>

namespace logging {

LogEvent::LogEvent(Level level, Message message, std::optional<Metadata> metadata, std::optional<std::string> source,
                   std::string file, std::string function, unsigned line)
    : LogEvent(level, std::move(message), nullptr, std::move(metadata), std::move(source), std::move(file),
               std::move(function), line) {}

LogEvent::LogEvent(Level level, Message message, std::exception_ptr error, std::optional<Metadata> metadata,
                   std::optional<std::string> source, std::string file, std::string function, unsigned line)
    : level(level),
      message(std::move(message)),
      error(std::move(error)),
      metadata(std::move(metadata)),
      storedSource(std::move(source)),
      file(std::move(file)),
      function(std::move(function)),
      line(line) {}

std::string LogEvent::source() const {
    if (storedSource) return *storedSource;
    return std::string(currentModuleFromFileID(file));
}

}  // namespace logging
