#include "InterruptSignal.h"

#include <time.h>

#include <csignal>

namespace {

// A second signal this soon after the first is the same request seen twice:
// `timeout` and some shells signal the program and its whole process group,
// and an impatient key press follows within the stop of a move. Ending the
// program then would leave the move unstopped (a DC table in continuous mode
// goes on turning).
constexpr long long kRepeatGraceMs = 1000;

volatile std::sig_atomic_t g_raised = 0;
volatile std::sig_atomic_t g_patient = 0;
volatile std::sig_atomic_t g_insisted = 0;
// Written and read only by the handler, which blocks both signals while it
// runs, so no other access can interleave.
timespec g_firstAt = {};

extern "C" void onInterrupt(int signal) {
    timespec at = {};
    clock_gettime(CLOCK_MONOTONIC, &at);
    if (g_raised == 0) {
        g_firstAt = at;
        g_raised = 1;
        return;
    }
    const long long elapsedMs =
        (at.tv_sec - g_firstAt.tv_sec) * 1000LL + (at.tv_nsec - g_firstAt.tv_nsec) / 1000000;
    if (elapsedMs < kRepeatGraceMs) {
        return;
    }
    if (g_patient != 0 && g_insisted == 0) {
        g_insisted = 1;
        return;
    }
    // A later one: the person insists, the program may hang. The default
    // action ends it once this handler returns and the signal is unblocked.
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

}  // namespace

void InterruptSignal::install() {
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool InterruptSignal::raised() {
    return g_raised != 0;
}

void InterruptSignal::setPatient(bool patient) {
    g_patient = patient ? 1 : 0;
}

bool InterruptSignal::insisted() {
    return g_insisted != 0;
}
