#include "tqcal/interruption.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The one thing the handler needs: where to write. Set before the handlers go in, reset after
// they are out.
volatile sig_atomic_t g_writeFd = -1;

void onSignal(int signal)
{
    const char byte = char(signal);
    if (g_writeFd >= 0) [[maybe_unused]]
        const ssize_t n = ::write(g_writeFd, &byte, 1);
}

const int kSignals[] = {SIGINT, SIGTERM};

} // namespace

Interruption::Interruption(QObject *parent) : QObject(parent)
{
    if (g_writeFd >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_fds) != 0)
        return;
    g_writeFd = m_fds[0];
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART; // a read or write to the device goes on; the loop decides
    for (const int signal : kSignals)
        ::sigaction(signal, &sa, nullptr);
    m_notifier = new QSocketNotifier(m_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &Interruption::take);
}

Interruption::~Interruption()
{
    if (m_notifier) {
        for (const int signal : kSignals)
            std::signal(signal, SIG_DFL);
        g_writeFd = -1;
    }
    for (const int fd : m_fds) {
        if (fd >= 0)
            ::close(fd);
    }
}

QString Interruption::signalName(int signal)
{
    switch (signal) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    default:
        return QStringLiteral("signal %1").arg(signal);
    }
}

void Interruption::take()
{
    char bytes[16];
    const ssize_t n = ::read(m_fds[1], bytes, sizeof bytes);
    // A second Ctrl+C while the record is written changes nothing: the first one decides.
    if (n <= 0 || m_signal != 0)
        return;
    m_signal = static_cast<unsigned char>(bytes[0]);
    emit interrupted(m_signal);
}
