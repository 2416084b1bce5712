// The desktop application as a user starts it: time from exec to a listening host, and its
// resident memory once idle. Runs the built executable beside this benchmark, offscreen.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

std::uint16_t freePort() {
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

bool accepts(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

long residentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

// A private home for one run of the application: its settings, data and runtime folders.
struct Home {
    Home() {
        std::random_device random;
        path = fs::temp_directory_path() / ("inkwarden-bench-" + std::to_string(random()));
        fs::create_directories(path / "config/inkwarden");
        fs::create_directories(path / "run");
        fs::permissions(path / "run", fs::perms::owner_all);
        port = freePort();
        std::ofstream(path / "config/inkwarden/settings.json")
            << "{\"port\": " << port << ", \"hasSeenWelcome\": true, \"lastUpdateCheck\": 4102444800}";
    }
    ~Home() { fs::remove_all(path); }

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

    fs::path path;
    std::uint16_t port = 0;
};

pid_t launch(const Home& home) {
    const auto executable = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "inkwarden";
    auto environment = home.environment();
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = executable.string();
    char* argv[] = {program.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void stop(pid_t pid) {
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

// Exec to the first accepted connection, polled every half millisecond, bounded at 10 seconds.
void BM_StartupToListeningHost(benchmark::State& state) {
    long rss = 0;
    for (auto _ : state) {
        Home home;
        const auto started = Clock::now();
        const pid_t pid = launch(home);
        if (pid < 0) {
            state.SkipWithError("cannot start the application");
            break;
        }
        while (!accepts(home.port) && Clock::now() - started < std::chrono::seconds(10)) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        const auto listening = Clock::now();
        state.SetIterationTime(std::chrono::duration<double>(listening - started).count());
        // Idle: tray, host listening, nothing asked of it.
        std::this_thread::sleep_for(std::chrono::seconds(1));
        rss = std::max(rss, residentKiB(pid));
        stop(pid);
    }
    state.counters["idle_rss_MiB"] = static_cast<double>(rss) / 1024.0;
}
BENCHMARK(BM_StartupToListeningHost)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
