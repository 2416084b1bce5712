#include "platform/file_access.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/uuid.hpp"

namespace inkwarden {
namespace {

[[noreturn]] void throwErrno(int error, const std::filesystem::path& path) {
    throw std::system_error(error, std::generic_category(), path.string());
}

}  // namespace

std::string readRegularFile(const std::filesystem::path& path, std::uintmax_t maxBytes) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer; the type is checked right after.
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) throwErrno(errno, path);
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) throwErrno(errno, path);
    if (!S_ISREG(status.st_mode)) throwErrno(EINVAL, path);
    if (static_cast<std::uintmax_t>(status.st_size) > maxBytes) throwErrno(EFBIG, path);
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(status.st_size));
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            // The file may have grown since fstat; read on up to the limit.
            if (bytes.size() >= maxBytes) {
                char probe;
                auto more = ::read(file.get(), &probe, 1);
                if (more > 0) throwErrno(EFBIG, path);
                if (more < 0 && errno != EINTR) throwErrno(errno, path);
                if (more <= 0) break;
            }
            bytes.resize(std::min<std::uintmax_t>(maxBytes, bytes.size() + 65536));
        }
        auto got = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR) continue;
            throwErrno(errno, path);
        }
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    auto temporary = path;
    temporary += "." + platform::makeUUIDString() + ".tmp";
    {
        Descriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (file.get() < 0) throwErrno(errno, temporary);
        auto fail = [&](int error) {
            ::unlink(temporary.c_str());
            throwErrno(error, temporary);
        };
        while (!bytes.empty()) {
            auto written = ::write(file.get(), bytes.data(), bytes.size());
            if (written < 0) {
                if (errno == EINTR) continue;
                fail(errno);
            }
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
        if (::fsync(file.get()) != 0) fail(errno);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        auto error = errno;
        ::unlink(temporary.c_str());
        throwErrno(error, path);
    }
}

}  // namespace inkwarden
