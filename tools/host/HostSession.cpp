#include "HostSession.h"

#include <chrono>
#include <thread>

#include "InterruptSignal.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTick = std::chrono::milliseconds(50);
// The worker clears its running flag just before it reports; a second is
// far more than that gap, even on a loaded machine under a sanitizer.
constexpr auto kNoStartGrace = std::chrono::seconds(1);

}  // namespace

HostSession::HostSession(TurntablePlugin& plugin) : m_plugin(plugin) {
    m_plugin.setCallbacks(
        [this](HxTurntableHardware*, size_t, bool canMoveCounterclockwise) {
            m_openReported = true;
            m_openSucceeded = true;
            m_canMoveCounterclockwise = canMoveCounterclockwise;
        },
        [this](HxTurntableHardware*, size_t) {
            m_openReported = true;
            m_openSucceeded = false;
        },
        [this](HxTurntableHardware*) { onRotationStopped(); });
}

HostSession::~HostSession() {
    close();
    // closeDevice does not wait for a report already under way.
    { std::lock_guard<std::mutex> lock(m_mutex); }
    m_plugin.setCallbacks(nullptr, nullptr, nullptr);
}

HostSession::Discovery HostSession::discover() {
    Discovery discovery;
    discovery.names = m_plugin.hardware().availableDevices();
    if (discovery.names.empty()) {
        discovery.error = m_plugin.lastError();
    }
    return discovery;
}

HostSession::Discovery HostSession::discoverAt(size_t position) {
    Discovery discovery;
    discovery.names = m_plugin.availableDevicesAt(position);
    if (discovery.names.empty()) {
        discovery.error = m_plugin.lastError();
    }
    return discovery;
}

bool HostSession::open(size_t row, std::string* error) {
    m_openReported = false;
    m_openSucceeded = false;
    // The plug-in answers through one of the two open callbacks, on this
    // thread, before openDevice returns.
    m_plugin.hardware().openDevice(row);
    if (!m_openReported) {
        *error = "the plug-in reported no outcome of opening";
        return false;
    }
    if (!m_openSucceeded) {
        *error = m_plugin.lastError();
        return false;
    }
    m_open = true;
    return true;
}

void HostSession::close() {
    if (!m_open) {
        return;
    }
    // Stops (and waits for) a move still running, whoever started it.
    m_plugin.hardware().stopAngleRotation();
    m_plugin.hardware().closeDevice();
    m_open = false;
}

void HostSession::onRotationStopped() {
    // Notified under the lock: the destructor takes the lock once the device
    // is closed, so a report that is still under way has left this object
    // before it goes.
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_stopReports;
    m_stopped.notify_all();
}

unsigned HostSession::stopReports() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stopReports;
}

HostSession::Wait HostSession::waitForStopReport(unsigned seen, const std::function<void()>& tick) {
    Clock::time_point idleSince = Clock::time_point::max();
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_stopped.wait_for(lock, kTick, [&] { return m_stopReports > seen; })) {
                return Wait::Stopped;
            }
        }
        if (InterruptSignal::raised()) {
            return Wait::Interrupted;
        }
        tick();
        if (m_plugin.IsTurntableRotating()) {
            idleSince = Clock::time_point::max();
        } else if (idleSince == Clock::time_point::max()) {
            idleSince = Clock::now();
        } else if (Clock::now() - idleSince > kNoStartGrace) {
            return Wait::NotStarted;
        }
    }
}

HostSession::Wait HostSession::waitWhileRotating(double maxSeconds,
                                                 const std::function<void()>& tick) {
    const Clock::time_point start = Clock::now();
    while (m_plugin.IsTurntableRotating()) {
        if (InterruptSignal::raised()) {
            return Wait::Interrupted;
        }
        if (maxSeconds > 0 &&
            std::chrono::duration<double>(Clock::now() - start).count() >= maxSeconds) {
            return Wait::TimeUp;
        }
        tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Wait::Stopped;
}
