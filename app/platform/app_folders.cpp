#include "platform/app_folders.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

namespace inkwarden::AppFolders {
namespace {

constexpr const char* kName = "inkwarden";

std::filesystem::path home() {
    if (const char* value = std::getenv("HOME"); value && *value) return value;
    return "/";
}

/// An absolute path from `variable`, else `fallback` below the home folder.
std::filesystem::path xdg(const char* variable, const char* fallback) {
    if (const char* value = std::getenv(variable); value && *value == '/') return value;
    return home() / fallback;
}

[[noreturn]] void refuse(const std::filesystem::path& path, const char* why) {
    throw std::system_error(std::make_error_code(std::errc::permission_denied), path.string() + ": " + why);
}

/// Makes `path` a folder of mode 0700 owned by us, or checks that the one there is.
std::filesystem::path privateFolder(const std::filesystem::path& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        throw std::system_error(errno, std::generic_category(), "Creating " + path.string());
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        throw std::system_error(errno, std::generic_category(), "Reading " + path.string());
    if (S_ISLNK(status.st_mode)) refuse(path, "is a symbolic link");
    if (!S_ISDIR(status.st_mode)) refuse(path, "is not a folder");
    if (status.st_uid != ::getuid()) refuse(path, "belongs to another user");
    if ((status.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0)
        throw std::system_error(errno, std::generic_category(), "Protecting " + path.string());
    return path;
}

}  // namespace

std::filesystem::path config() {
    return xdg("XDG_CONFIG_HOME", ".config") / kName;
}

std::filesystem::path data() {
    return xdg("XDG_DATA_HOME", ".local/share") / kName;
}

std::filesystem::path runtimeCandidate() {
    if (const char* value = std::getenv("XDG_RUNTIME_DIR"); value && *value == '/')
        return std::filesystem::path(value) / kName;
    return std::filesystem::path("/tmp") / (std::string(kName) + "-" + std::to_string(::getuid()));
}

std::filesystem::path runtime() {
    return privateFolder(runtimeCandidate());
}

}  // namespace inkwarden::AppFolders
