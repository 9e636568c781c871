#include "platform/Interrupt.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace tonvela {

namespace {

// Time from the first signal until the run is ended, whatever it is doing; well within the
// second promised, leaving room for the process's own teardown on a busy machine.
constexpr int kGraceMs = 700;

std::atomic<bool> gInterrupted{false};
std::atomic<int> gFirstSignal{0};
int gWake[2] = {-1, -1};  // the handler wakes the watchdog through this pipe

extern "C" void OnInterruptSignal(int signal) {
    int expected = 0;
    if (!gFirstSignal.compare_exchange_strong(expected, signal)) ::_exit(128 + expected);
    gInterrupted.store(true);
    const int saved = errno;
    const char byte = 1;
    (void)!::write(gWake[1], &byte, 1);
    errno = saved;
}

void Watchdog() {
    char byte;
    while (::read(gWake[0], &byte, 1) != 1) {
        if (errno != EINTR) return;
    }
    ::poll(nullptr, 0, kGraceMs);
    ::_exit(128 + gFirstSignal.load());
}

}  // namespace

void InstallInterruptHandling() {
    if (gWake[0] >= 0 || ::pipe2(gWake, O_CLOEXEC) != 0) return;
    std::thread(Watchdog).detach();
    struct sigaction sa {};
    sa.sa_handler = OnInterruptSignal;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

const std::atomic<bool>& InterruptFlag() { return gInterrupted; }

bool Interrupted() { return gInterrupted.load(); }

int InterruptExitStatus() {
    const int signal = gFirstSignal.load();
    return signal == 0 ? 0 : 128 + signal;
}

}  // namespace tonvela
