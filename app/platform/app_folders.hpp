#pragma once

#include <filesystem>

namespace inkwarden {

/// The folders the application keeps its files in, computed from the environment on every call.
namespace AppFolders {

/// $XDG_CONFIG_HOME/inkwarden (~/.config/inkwarden): the settings file.
std::filesystem::path config();

/// $XDG_DATA_HOME/inkwarden (~/.local/share/inkwarden): the stored stamp.
std::filesystem::path data();

/// The private per-user folder (mode 0700) for files handed to and received from AI clients:
/// $XDG_RUNTIME_DIR/inkwarden, else /tmp/inkwarden-<uid>. Created when missing. Throws
/// std::system_error when the folder cannot be made, or when the one found is a link, not a
/// folder, not ours, or open to others: a shared folder would let other users plant or lose files.
std::filesystem::path runtime();

/// Where `runtime` is, without creating or checking it.
std::filesystem::path runtimeCandidate();

}  // namespace AppFolders

}  // namespace inkwarden
