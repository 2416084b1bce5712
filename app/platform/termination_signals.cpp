#include "platform/termination_signals.hpp"

#include <array>
#include <cerrno>
#include <csignal>
#include <stdexcept>
#include <system_error>

#include <QSocketNotifier>
#include <fcntl.h>
#include <unistd.h>

namespace inkwarden {
namespace {

constexpr std::array kSignals{SIGTERM, SIGINT, SIGHUP};

int gPipe[2] = {-1, -1};

extern "C" void onSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] auto written = ::write(gPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (gPipe[0] >= 0) throw std::logic_error("TerminationSignals exists already");
    if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::system_error(errno, std::generic_category(), "Cannot make the signal pipe");
    }
    notifier_ = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { drain(); });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : kSignals) ::sigaction(number, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int number : kSignals) ::sigaction(number, &action, nullptr);
    ::close(gPipe[0]);
    ::close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}

void TerminationSignals::drain() {
    unsigned char byte;
    while (::read(gPipe[0], &byte, 1) == 1) Q_EMIT received(byte);
}

}  // namespace inkwarden
