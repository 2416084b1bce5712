#include "platform/single_instance.hpp"

#include <cerrno>
#include <system_error>

#include <fcntl.h>
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

}  // namespace inkwarden
