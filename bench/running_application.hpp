#pragma once

// The built application run as a user runs it, for benchmarks: a private home for its settings
// and folders, offscreen, started beside the benchmark executable.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

inline std::uint16_t freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

inline bool accepts(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

/// A private home for one run of the application: its settings, data and runtime folders.
struct Home {
    Home() {
        std::random_device random;
        path = std::filesystem::temp_directory_path() / ("inkwarden-bench-" + std::to_string(random()));
        std::filesystem::create_directories(path / "config/inkwarden");
        std::filesystem::create_directories(path / "run");
        std::filesystem::permissions(path / "run", std::filesystem::perms::owner_all);
        port = freePort();
        std::ofstream(path / "config/inkwarden/settings.json")
            << "{\"port\": " << port << ", \"token\": \"" << token
            << "\", \"hasSeenWelcome\": true, \"lastUpdateCheck\": 4102444800}";
    }
    ~Home() { std::filesystem::remove_all(path); }
    Home(const Home&) = delete;
    Home& operator=(const Home&) = delete;

    std::vector<std::string> environment() const {
        std::vector<std::string> entries;
        for (char** entry = environ; *entry; ++entry) {
            const std::string text = *entry;
            if (text.rfind("XDG_", 0) == 0 || text.rfind("QT_QPA_PLATFORM=", 0) == 0) continue;
            entries.push_back(text);
        }
        entries.push_back("XDG_CONFIG_HOME=" + (path / "config").string());
        entries.push_back("XDG_DATA_HOME=" + (path / "data").string());
        entries.push_back("XDG_RUNTIME_DIR=" + (path / "run").string());
        entries.push_back("QT_QPA_PLATFORM=offscreen");
        return entries;
    }

    std::string endpoint() const { return "http://127.0.0.1:" + std::to_string(port) + "/mcp"; }

    std::filesystem::path path;
    std::uint16_t port = 0;
    std::string token = "bench-token";
};

/// Starts the application executable beside the benchmark's folder with `arguments` in `home`.
/// Standard input and output are `input` and `output` when given (closed in the caller by no
/// one: the caller keeps its ends), else the caller's input and /dev/null. Standard error goes to
/// /dev/null. Gives the process id, or -1.
inline pid_t launch(const Home& home, const std::vector<std::string>& arguments = {}, int input = -1,
                    int output = -1) {
    const auto executable = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "inkwarden";
    auto environment = home.environment();
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> words{executable.string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0) posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    if (output >= 0) posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    else posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

inline void stop(pid_t pid) {
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

}  // namespace bench
