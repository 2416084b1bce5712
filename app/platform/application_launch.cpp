#include "platform/application_launch.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>

#include <string>
#include <system_error>

extern char** environ;

namespace inkwarden {
namespace {

class FileActions {
public:
    FileActions() { posix_spawn_file_actions_init(&actions_); }
    ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* get() noexcept { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

class Attributes {
public:
    Attributes() { posix_spawnattr_init(&attributes_); }
    ~Attributes() { posix_spawnattr_destroy(&attributes_); }
    Attributes(const Attributes&) = delete;
    Attributes& operator=(const Attributes&) = delete;
    posix_spawnattr_t* get() noexcept { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

void check(int result, const char* what) {
    if (result != 0) throw std::system_error(result, std::generic_category(), what);
}

}  // namespace

void launchDetached(const std::filesystem::path& executable) {
    FileActions actions;
    check(posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0), "posix_spawn");
    check(posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0), "posix_spawn");
    check(posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, "/dev/null", O_WRONLY, 0), "posix_spawn");
    check(posix_spawn_file_actions_addclosefrom_np(actions.get(), STDERR_FILENO + 1), "posix_spawn");

    // The caller may ignore SIGPIPE and SIGCHLD or block signals; the new process starts with the
    // defaults.
    Attributes attributes;
    sigset_t none;
    sigemptyset(&none);
    sigset_t reset;
    sigemptyset(&reset);
    sigaddset(&reset, SIGPIPE);
    sigaddset(&reset, SIGCHLD);
    check(posix_spawnattr_setsigmask(attributes.get(), &none), "posix_spawn");
    check(posix_spawnattr_setsigdefault(attributes.get(), &reset), "posix_spawn");
    check(posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF),
          "posix_spawn");

    // The program name is the real file, not the /proc link the relay is started through.
    std::error_code ignored;
    auto target = std::filesystem::read_symlink(executable, ignored);
    std::string name = (ignored ? executable : target).string();
    char* arguments[] = {name.data(), nullptr};

    pid_t child = 0;
    check(posix_spawn(&child, executable.c_str(), actions.get(), attributes.get(), arguments, environ),
          "The application couldn't be started");
}

}  // namespace inkwarden
