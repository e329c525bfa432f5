#include "InterruptSignal.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t g_raised = 0;

extern "C" void onInterrupt(int) {
    g_raised = 1;
}

}  // namespace

void InterruptSignal::install() {
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // One-shot: the default action is back for a second signal, so a hung
    // program can still be ended from the keyboard.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool InterruptSignal::raised() {
    return g_raised != 0;
}
