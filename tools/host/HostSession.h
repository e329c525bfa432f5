#ifndef TURNTABLECTL_HOST_SESSION_H
#define TURNTABLECTL_HOST_SESSION_H

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>

#include "HxTypes.h"
#include "TurntablePlugin.h"

/// One host's conversation with the plug-in: discovery, opening by row with
/// the outcome learnt through the callbacks, waiting for the end of moves,
/// closing. The callback slots point at this object while it lives.
class HostSession {
public:
    /// What discovery answered.
    struct Discovery {
        DevicesNamesList names;  ///< one name: identified; ten: the catalogue; none: not found
        std::string error;       ///< the plug-in's text when nothing was found
        bool found() const { return !names.empty(); }
        bool identified() const { return names.size() == 1; }
    };

    /// How waiting for a move ended.
    enum class Wait { Stopped, Interrupted, NotStarted, TimeUp };

    explicit HostSession(TurntablePlugin& plugin);
    /// Stops a move and closes the turntable if the caller has not.
    ~HostSession();

    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    Discovery discover();
    /// Discovery of the turntable at `position` of the plug-in's
    /// attachedTurntables(), remembered for the next open(); not found, with
    /// the plug-in's text, when it is gone or cannot be opened.
    Discovery discoverAt(size_t position);
    /// Opens the discovered turntable as catalogue row `row` (0 of a one-name
    /// list: the identified model). False with the plug-in's text in `*error`.
    bool open(size_t row, std::string* error);
    /// As the open callback told it.
    bool canMoveCounterclockwise() const { return m_canMoveCounterclockwise; }
    bool isOpen() const { return m_open; }
    /// Stops any move, then closes.
    void close();

    /// Number of rotation-stopped reports so far (they arrive on the plug-in's
    /// worker thread).
    unsigned stopReports() const;
    /// Waits until more than `seen` reports have arrived. Calls `tick` about
    /// every 50 ms; gives up with Interrupted on Ctrl-C, and with NotStarted
    /// when the turntable is not turning and no report came for a second.
    Wait waitForStopReport(unsigned seen, const std::function<void()>& tick);
    /// Waits until the turntable stops turning (for moves made outside a
    /// stepped spin, which the plug-in does not report). With `maxSeconds`
    /// > 0, gives up with TimeUp after that long, the move still running.
    Wait waitWhileRotating(double maxSeconds, const std::function<void()>& tick);

private:
    void onRotationStopped();

    TurntablePlugin& m_plugin;
    bool m_open = false;
    bool m_openReported = false;
    bool m_openSucceeded = false;
    bool m_canMoveCounterclockwise = false;

    mutable std::mutex m_mutex;
    std::condition_variable m_stopped;
    unsigned m_stopReports = 0;  // guarded by m_mutex
};

#endif  // TURNTABLECTL_HOST_SESSION_H
