#pragma once

#include <filesystem>
#include <memory>

namespace inkwarden {

/// The one-per-user claim of the running application: an exclusive `flock` on a lock file,
/// held until the object is destroyed or the process ends (the kernel drops it even after a
/// crash, so a stale file never blocks a new start).
class SingleInstance {
public:
    /// Claims `lockFile` (created when missing). None when another process holds it; throws
    /// std::system_error when the file cannot be opened.
    static std::unique_ptr<SingleInstance> acquire(const std::filesystem::path& lockFile);

    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    ~SingleInstance();

    /// Knocks on the running instance's `socket`, which shows its panel in answer. Never fails:
    /// without an instance listening, nothing happens.
    static void knock(const std::filesystem::path& socket) noexcept;

private:
    explicit SingleInstance(int fd) noexcept : fd_(fd) {}

    int fd_;
};

}  // namespace inkwarden
