#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

namespace inkwarden {

/// An open file descriptor, closed on every path.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const noexcept { return fd_; }
    /// Hands the descriptor to a new owner; this one closes nothing.
    int release() noexcept { return std::exchange(fd_, -1); }

private:
    int fd_;
};

/// The largest file the application reads whole (a document, a stamp image).
inline constexpr std::uintmax_t kMaxReadableFileBytes = 256ull << 20;

/// The bytes of the regular file at `path` (links followed). Throws std::system_error when it
/// is missing, unreadable, no regular file (a FIFO or device could block forever) or larger than
/// `maxBytes`.
std::string readRegularFile(const std::filesystem::path& path, std::uintmax_t maxBytes = kMaxReadableFileBytes);

/// Writes `bytes` to a temporary file beside `path` and renames it over `path`, so readers see
/// the old file or the new one, never a part. Files are made 0600. Throws std::system_error.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace inkwarden
