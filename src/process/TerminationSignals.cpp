#include "process/TerminationSignals.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace mirelo {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};
// Marks a SIGPIPE the product raised itself (a write to a pipe nobody reads).
constexpr unsigned char kSelfRaised = 0x80;

int g_pipe[2] = {-1, -1};
std::atomic<bool> g_installed{false};

void onSignal(int number, siginfo_t* info, void*) {
    const int savedErrno = errno;
    unsigned char byte = static_cast<unsigned char>(number);
    if (number == SIGPIPE && info && info->si_code == SI_USER && info->si_pid == ::getpid())
        byte |= kSelfRaised;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

void installHandler(int number) {
    struct sigaction action {};
    action.sa_sigaction = onSignal;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(number, &action, nullptr);
}

// A pipe whose reader has gone reports an error when polled for writing.
bool readerGone(int fd) {
    pollfd p{fd, POLLOUT, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLERR);
}

} // namespace

TerminationSignals::TerminationSignals() : QObject(QCoreApplication::instance()) {
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::onReadable);
    for (const int number : kSignals)
        installHandler(number);
    g_installed = true;
}

TerminationSignals& TerminationSignals::install() {
    // Goes with the application; a later application gets a new one on the same pipe.
    static QPointer<TerminationSignals> instance;
    if (!instance)
        instance = new TerminationSignals;
    return *instance;
}

bool TerminationSignals::isInstalled() {
    return g_installed;
}

void TerminationSignals::reclaimBrokenPipe() {
    if (!g_installed)
        return;
    struct sigaction current {};
    ::sigaction(SIGPIPE, nullptr, &current);
    if (current.sa_handler == SIG_IGN)
        installHandler(SIGPIPE);
}

void TerminationSignals::onReadable() {
    unsigned char bytes[32];
    ssize_t n = 0;
    while ((n = ::read(g_pipe[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            const int number = bytes[i] & ~kSelfRaised;
            const bool self = bytes[i] & kSelfRaised;
            if (number == SIGPIPE && self && !readerGone(STDOUT_FILENO) &&
                !readerGone(STDERR_FILENO))
                continue; // a child's pipe, not the product's own output
            ++m_count;
            if (!m_first)
                m_first = number;
            Q_EMIT received(number);
        }
    }
}

} // namespace mirelo
