#include "RealtimeMoveScope.h"

#include <strings.h>
#include <sys/prctl.h>

#include <cstdlib>
#include <initializer_list>
#include <thread>

RealtimeMoveScope::RealtimeMoveScope()
    : m_mode(SWITCHED_OFF),
      m_oldPolicy(sched_getscheduler(0)),
      m_oldParam{},
      m_oldTimerSlack(prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0)) {
    sched_getparam(0, &m_oldParam);
    if (m_oldTimerSlack > 0)
        prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    if (switchedOffByEnvironment())
        return;
    sched_param raised{};
    raised.sched_priority = PRIORITY;
    // Pid 0 is the calling thread. A child forked from it (by a host's
    // callback, say) starts with normal scheduling again.
    m_mode = sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &raised) == 0
                 ? REAL_TIME
                 : NOT_PERMITTED;
}

RealtimeMoveScope::~RealtimeMoveScope() {
    if (m_mode == REAL_TIME && m_oldPolicy >= 0)
        sched_setscheduler(0, m_oldPolicy, &m_oldParam);
    if (m_oldTimerSlack > 0)
        prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(m_oldTimerSlack), 0, 0, 0);
}

RealtimeMoveScope::Mode RealtimeMoveScope::mode() const {
    return m_mode;
}

RealtimeMoveScope::Mode RealtimeMoveScope::probe() {
    Mode mode = SWITCHED_OFF;
    std::thread([&mode] { mode = RealtimeMoveScope().mode(); }).join();
    return mode;
}

bool RealtimeMoveScope::switchedOffByEnvironment() {
    const char* value = std::getenv(ENVIRONMENT_VARIABLE);
    if (value == nullptr)
        return false;
    for (const char* off : {"0", "off", "no", "false"}) {
        if (strcasecmp(value, off) == 0)
            return true;
    }
    return false;
}

const char* RealtimeMoveScope::describe(Mode mode) {
    switch (mode) {
        case REAL_TIME:
            return "real-time";
        case SWITCHED_OFF:
            return "off";
        case NOT_PERMITTED:
            return "not permitted";
    }
    return "off";
}
