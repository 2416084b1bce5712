#pragma once

#include <filesystem>
#include <functional>

#include <boost/json/object.hpp>

namespace inkwarden {

/// A JSON object kept in one file that several processes share (the application and its relays).
///
/// Nothing is cached: every read parses the file afresh. Writes replace the file atomically (a
/// temporary file renamed over it), and `update` holds an exclusive `flock` on a lock file beside
/// it for its whole read-modify-write, so two processes making the same value agree on one. Safe
/// to use from any thread.
class SettingsFile {
public:
    explicit SettingsFile(std::filesystem::path path);

    /// The object in the file; an empty object when the file is missing or holds anything else.
    boost::json::object read() const;

    /// Reads the object, lets `change` edit it and writes it back, all under the lock. Returns the
    /// object as written. Throws std::system_error when the folder or file cannot be written.
    boost::json::object update(const std::function<void(boost::json::object&)>& change) const;

    const std::filesystem::path& path() const noexcept { return path_; }

private:
    void write(const boost::json::object& object) const;

    std::filesystem::path path_;
};

}  // namespace inkwarden
