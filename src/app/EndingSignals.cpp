#include "app/EndingSignals.h"

#include "db/ClientLibrary.h"
#include "db/Connection.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>

#ifndef _WIN32
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>
#endif

namespace uc::endingSignals {

namespace {

// The first ending signal's number; 0 until one comes. Written by the handler.
std::atomic<int> caught{0};

} // namespace

bool terminating() {
    return caught.load() != 0;
}

int exitCode() {
    return 128 + caught.load();
}

#ifdef _WIN32

void install() {}
Watch::Watch(db::Connection&) {}
Watch::~Watch() {}

#else

namespace {

static_assert(std::atomic<int>::is_always_lock_free, "the handler may only touch lock-free atomics");

int wakePipe[2] = {-1, -1};

std::mutex watchedMutex;
db::Connection* watched = nullptr; // the main connection, while a Watch lives
bool loopsEnded = false;

void onSignal(int number) {
    const int savedErrno = errno;
    int none = 0;
    caught.compare_exchange_strong(none, number);
    const char byte = 1;
    // The pipe does not block: when it is full, the watcher is awake already.
    [[maybe_unused]] const auto written = ::write(wakePipe[1], &byte, 1);
    errno = savedErrno;
}

// Ends the process when the orderly end takes too long.
void deadline(int number) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kDeadlineMs));
    std::fprintf(stderr,
                 "unifica-contribuintes: encerrado sem esperar mais pelo banco de dados, %d ms depois do sinal %d\n",
                 kDeadlineMs, number);
    std::fflush(stderr);
    ::_exit(128 + number);
}

// Under watchedMutex.
void interruptWatched() {
    if (!watched)
        return;
    watched->interrupt();
    if (!loopsEnded) {
        loopsEnded = true;
        // Run by whichever message loop the window's thread is in; exit() ends that loop and every
        // loop around it, a message box's among them.
        const int code = exitCode();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
    }
}

void watcher() {
    char byte = 0;
    while (::read(wakePipe[0], &byte, 1) < 0 && errno == EINTR) {
    }
    std::thread(deadline, caught.load()).detach();
    // A statement that the server had not started yet when it was asked to cancel, or a
    // connection watched only from now on, is reached by the next round.
    for (;;) {
        {
            std::lock_guard lock(watchedMutex);
            interruptWatched();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

} // namespace

void install() {
    if (wakePipe[0] >= 0)
        return;
    if (::pipe(wakePipe) != 0)
        return; // no watcher: the signals keep their default action and end the program at once
    for (int fd : wakePipe)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(wakePipe[1], F_SETFL, ::fcntl(wakePipe[1], F_GETFL) | O_NONBLOCK);
    std::thread(watcher).detach();

    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction old {};
        if (::sigaction(number, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(number, &action, nullptr);
    }
    db::ClientLibrary::leaveSignalsToTheProgram();
}

Watch::Watch(db::Connection& connection) {
    std::lock_guard lock(watchedMutex);
    watched = &connection;
    if (terminating())
        interruptWatched();
}

Watch::~Watch() {
    std::lock_guard lock(watchedMutex);
    watched = nullptr;
}

#endif

} // namespace uc::endingSignals
