#include "platform/single_instance.hpp"

#include <cerrno>
#include <system_error>

#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/file.h>
#include <unistd.h>

namespace inkwarden {

std::unique_ptr<SingleInstance> SingleInstance::acquire(const std::filesystem::path& lockFile) {
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), "Cannot open " + lockFile.string());
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) return nullptr;
        throw std::system_error(error, std::generic_category(), "Cannot lock " + lockFile.string());
    }
    return std::unique_ptr<SingleInstance>(new SingleInstance(fd));
}

SingleInstance::~SingleInstance() { ::close(fd_); }

void SingleInstance::knock(const std::filesystem::path& socket) noexcept {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const auto& path = socket.native();
    if (path.size() >= sizeof address.sun_path) return;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    // Connecting is the whole message; the running instance reads nothing.
    [[maybe_unused]] int result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::close(fd);
}

}  // namespace inkwarden
