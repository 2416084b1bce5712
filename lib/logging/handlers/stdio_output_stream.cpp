#include "logging/handlers/stdio_output_stream.hpp"

namespace logging {

std::shared_ptr<StdioOutputStream> StdioOutputStream::file(std::FILE* file, FlushMode flushMode) {
    return std::make_shared<StdioOutputStream>(
        file, flushMode, std::function<void(std::FILE*)>(flockfile), std::function<void(std::FILE*)>(funlockfile),
        std::function<std::size_t(const void*, std::size_t, std::size_t, std::FILE*)>(std::fwrite),
        std::function<int(std::FILE*)>(std::fflush));
}

// The shared streams are never released, so a handler made while the process ends still finds them.
std::shared_ptr<StdioOutputStream> StdioOutputStream::stdout_() {
    static const auto* stream = new std::shared_ptr<StdioOutputStream>(file(stdout));
    return *stream;
}

std::shared_ptr<StdioOutputStream> StdioOutputStream::stderr_() {
    static const auto* stream = new std::shared_ptr<StdioOutputStream>(file(stderr));
    return *stream;
}

void StdioOutputStream::write(std::string_view text) {
    writeBytes_(std::span<const char>(text.data(), text.size()));
    if (flushMode_ == FlushMode::always) flush_();
}

}  // namespace logging
