#pragma once

#include "logging/handlers/text_output_stream.hpp"

#include <cstdio>
#include <functional>
#include <memory>
#include <span>

namespace logging {

/// A text stream over a C stream. Each write hands all the text's bytes to the byte writer at
/// once and then, in flush mode `always`, calls the flusher (so the flush runs after the stream
/// is unlocked).
class StdioOutputStream final : public TextOutputStream {
public:
    enum class FlushMode { undefined, always };

    /// A stream over any file handle: `lock` and `unlock` (either may be empty) run around
    /// `write`, which is called with the bytes, element size 1 and their count only when there
    /// is at least one byte; `flush` runs after each write in mode `always`. Results are ignored.
    template <class File>
    StdioOutputStream(File file, FlushMode flushMode, std::function<void(File)> lock, std::function<void(File)> unlock,
                      std::function<std::size_t(const void*, std::size_t, std::size_t, File)> write,
                      std::function<int(File)> flush)
        : flushMode_(flushMode),
          writeBytes_([=](std::span<const char> bytes) {
              if (lock) lock(file);
              if (!bytes.empty()) write(bytes.data(), 1, bytes.size(), file);
              if (unlock) unlock(file);
          }),
          flush_([=] { flush(file); }) {}

    /// A stream over `file` with flockfile, fwrite, funlockfile and fflush.
    static std::shared_ptr<StdioOutputStream> file(std::FILE* file, FlushMode flushMode = FlushMode::always);

    /// The process's standard output and standard error, made once on first use, flushing always.
    static std::shared_ptr<StdioOutputStream> stdout_();
    static std::shared_ptr<StdioOutputStream> stderr_();

    void write(std::string_view text) override;

    FlushMode flushMode() const noexcept { return flushMode_; }

private:
    FlushMode flushMode_;
    std::function<void(std::span<const char>)> writeBytes_;
    std::function<void()> flush_;
};

}  // namespace logging
