#include "platform/knock_listener.hpp"

#include <cerrno>
#include <cstring>
#include <system_error>

#include <QSocketNotifier>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace inkwarden {

KnockListener::KnockListener(const std::filesystem::path& socket, QObject* parent) : QObject(parent), path_(socket) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket.native().size() >= sizeof address.sun_path) {
        throw std::system_error(std::make_error_code(std::errc::filename_too_long), socket.string());
    }
    std::memcpy(address.sun_path, socket.c_str(), socket.native().size() + 1);
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "socket");
    ::unlink(socket.c_str());
    const mode_t previous = ::umask(077);  // the socket file is the user's alone
    const int bound = ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::umask(previous);
    if (bound != 0 || ::listen(fd_, 8) != 0) {
        const int error = errno;
        ::close(fd_);
        throw std::system_error(error, std::generic_category(), "Cannot listen at " + socket.string());
    }
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { acceptAll(); });
}

KnockListener::~KnockListener() {
    ::close(fd_);
    ::unlink(path_.c_str());
}

void KnockListener::acceptAll() {
    for (;;) {
        const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;
        ::close(client);
        Q_EMIT knocked();
    }
}

}  // namespace inkwarden
