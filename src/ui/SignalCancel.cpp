#include "ui/SignalCancel.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace tavrin::ui {

namespace {

int g_pipe[2] = {-1, -1};
std::function<void(int)> g_onSignal;

void Handler(int signo) {
    const int saved = errno;
    const char byte = static_cast<char>(signo);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

bool InstallSignalCancel(std::function<void(int signo)> onSignal) {
    g_onSignal = std::move(onSignal);
    if (g_pipe[0] >= 0) return true;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0)
        return false;
    // Owned by the application, so it goes when the application does.
    auto* notifier =
        new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char byte = 0;
        while (::read(g_pipe[0], &byte, 1) == 1)
            if (g_onSignal) g_onSignal(static_cast<unsigned char>(byte));
    });
    struct sigaction sa {};
    sa.sa_handler = Handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    bool ok = true;
    for (const int s : {SIGTERM, SIGHUP, SIGINT}) ok = ::sigaction(s, &sa, nullptr) == 0 && ok;
    return ok;
}

} // namespace tavrin::ui
