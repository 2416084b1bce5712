#pragma once

#include <filesystem>

namespace inkwarden {

/// Starts `executable` with no arguments as a process of its own: a new session (no terminal, no
/// signals of the starter's process group), standard streams on /dev/null and no other
/// descriptor of the caller, so it never writes into a pipe the caller shares with its client.
/// Its environment is the caller's. Does not wait for it. Throws std::system_error when it cannot
/// be started.
void launchDetached(const std::filesystem::path& executable);

}  // namespace inkwarden
