#ifndef REALTIME_MOVE_SCOPE_H
#define REALTIME_MOVE_SCOPE_H

#include <sched.h>

/// Raises the calling thread to a real-time priority for as long as the
/// object lives: the rotation worker holds one for the length of a move, so
/// that other busy processes on the machine do not delay its pulses.
///
/// The raise happens only where the process is allowed it (RLIMIT_RTPRIO or
/// CAP_SYS_NICE); elsewhere, and when the host has switched it off through
/// the environment variable VORANDEL_TURNTABLE_REALTIME (0, off, no or false),
/// the thread keeps its scheduling and nothing is reported. Either way the
/// thread's timer slack is lowered to its minimum meanwhile, so that its
/// sleeps end when asked rather than up to 50 us later (a real-time thread
/// has none at all). Destruction restores the thread's former policy,
/// priority and timer slack.
///
/// Must be destroyed on the thread that created it.
class RealtimeMoveScope {
public:
    enum Mode {
        REAL_TIME,      ///< the thread runs SCHED_FIFO at PRIORITY
        SWITCHED_OFF,   ///< the host asked for normal scheduling
        NOT_PERMITTED,  ///< the process may not raise it; normal scheduling
    };

    static constexpr const char* ENVIRONMENT_VARIABLE = "VORANDEL_TURNTABLE_REALTIME";
    /// The lowest SCHED_FIFO priority: enough to go before every normal
    /// thread, and below any real-time thread the host runs itself.
    static constexpr int PRIORITY = 1;

    RealtimeMoveScope();
    ~RealtimeMoveScope();
    RealtimeMoveScope(const RealtimeMoveScope&) = delete;
    RealtimeMoveScope& operator=(const RealtimeMoveScope&) = delete;

    Mode mode() const;

    /// What a move started now would get: enters a scope on a short-lived
    /// thread of its own and reports its mode.
    static Mode probe();
    /// Whether the environment switches the raise off.
    static bool switchedOffByEnvironment();
    /// "real-time", "off" or "not permitted".
    static const char* describe(Mode mode);

private:
    Mode m_mode;
    int m_oldPolicy;
    sched_param m_oldParam;
    int m_oldTimerSlack;
};

#endif  // REALTIME_MOVE_SCOPE_H
