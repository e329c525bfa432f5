#include <thread>

#include "D2xxDiagnostics.h"
#include "FTDIController.h"
#include "FTDIThread.h"
#include "MoveDiagnostics.h"
#include "RealtimeMoveScope.h"

// The whole lifecycle of a move, every transition of the state machine
// described at the class: who may do what in which state.
//
// Why nothing deadlocks and nothing is used after it is freed:
// - The move lock is never held across a Wait, a join, Initialize or the
//   report, so a report may call back into any operation.
// - A cancel or close waits only for port work (bounded), never for host
//   code; a plain stop also waits for the stopped move's report, a report
//   under way included.
// - A worker is joined only once it has finished its report; after that it
//   touches nothing of the controller, so the join is short. Each worker is
//   joined by exactly one thread: the one that took it out of m_workers.
// - A worker never joins itself: the destructor, run from a worker's own
//   report, detaches that one and tells it through ownerGone to return
//   without touching the object.

bool FTDIController::holdsHandle() const {
    std::lock_guard<std::mutex> lock(m_portMutex);
    return m_ftdiHandle != nullptr;
}

bool FTDIController::startAllowed(std::thread::id self) const {
    if (m_stopsUnderWay > 0)
        return false;
    if (m_moveState == MoveState::Idle)
        return true;
    if (m_moveState != MoveState::Reporting)
        return false;
    // The port work of the ended move is over: the next move may start while
    // its report runs, from a host thread the report has woken or from the
    // report itself (the next step of a host spin), unless a stop was asked
    // for that move, which ends the chain of starts from its report.
    const FTDIThread* current = m_rotationThread.load();
    return current == nullptr || current->workerId != self || !current->stopAsked;
}

bool FTDIController::startRotation() {
    return prepareAndStartRotation(nullptr);
}

bool FTDIController::prepareAndStartRotation(const std::function<void()>& prepare) {
    if (!holdsHandle())
        return SetFTDIError(TT_ERROR_NULL_HANDLE);

    const std::thread::id self = std::this_thread::get_id();
    std::vector<FTDIThread*> ended;
    {
        std::lock_guard<std::mutex> lock(m_moveMutex);
        if (!startAllowed(self))
            return TT_LOG_REFUSAL(Move, "start refused: the move is %s, %d stop(s) under way",
                                  stateName(m_moveState), m_stopsUnderWay);
        m_moveState = MoveState::Starting;
        ended = takeFinishedWorkers(self);
    }
    joinAndRelease(ended);

    const ENUM_ROTATION_DIRECTION direction = m_rotationDirection.load();
    const unsigned int counts = m_nCountsToRotate.load();
    const double target = m_dMoveToGlobalPositionAngle.load();
    auto restore = [&] {
        if (!prepare)
            return;
        m_rotationDirection.store(direction);
        m_nCountsToRotate.store(counts);
        m_dMoveToGlobalPositionAngle.store(target);
    };

    bool started = false;
    try {
        if (prepare)
            prepare();
        started =
            Initialize() ? StartRotationThread() : SetFTDIError(TT_ERROR_INITIALIZATION_FAILED);
    } catch (...) {
        DiagnosticLog::writeCurrentException(DiagnosticLog::Category::Move, "starting the move");
        restore();
        leaveStarting();
        throw;
    }
    if (!started) {
        TT_LOG(Move, Info, "start failed: error code %d", static_cast<int>(GetLastFTDIError()));
        restore();
        leaveStarting();
    }
    return started;
}

FTDIController::MoveState FTDIController::restingState() const {
    // Once a start or an exclusive sequence gives up its state: Reporting if
    // the last move's report still runs, Idle if it ended meanwhile.
    const FTDIThread* current = m_rotationThread.load();
    return current != nullptr && !current->finished ? MoveState::Reporting : MoveState::Idle;
}

void FTDIController::leaveStarting() {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    if (m_moveState == MoveState::Starting)
        m_moveState = restingState();
    m_moveChanged.notify_all();
}

bool FTDIController::launchRotationWorker(RotationMotion motion) {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    if (m_moveState != MoveState::Starting)
        return false;

    FTDIThread* previous = m_rotationThread.load();
    FTDIThread* fresh = new FTDIThread();
    fresh->motion = motion;
    m_rotationThread.store(fresh);
    try {
        m_workers.push_back(fresh);
        static_cast<std::thread&>(*fresh) = std::thread(&FTDIController::runMove, this, fresh);
    } catch (...) {
        DiagnosticLog::writeCurrentException(DiagnosticLog::Category::Move, "creating the worker");
        if (!m_workers.empty() && m_workers.back() == fresh)
            m_workers.pop_back();
        m_rotationThread.store(previous);
        delete fresh;
        throw;
    }
    fresh->workerId = fresh->get_id();
    m_moveState = MoveState::Running;
    m_moveChanged.notify_all();
    return true;
}

void FTDIController::runMove(FTDIThread* self) {
    // The worker waits until its launch is complete, so that workerId and the
    // state are settled before anything of the move can be observed.
    { std::lock_guard<std::mutex> lock(m_moveMutex); }
    bool motionThrew = false;

    {
        // The port work of the move runs at a real-time priority where the
        // process may; the host's report below runs as the host's threads do.
        const RealtimeMoveScope priority;
        const unsigned int counts = m_nCountsToRotate.load();
        MoveDiagnostics::started(counts, m_rotationDirection.load());

        // An exception leaving a thread function ends the host's whole
        // process: a failing motion still ends the move, and it is reported
        // once.
        try {
            self->motion(this, counts);
        } catch (...) {
            motionThrew = true;
            DiagnosticLog::writeCurrentException(DiagnosticLog::Category::Move, "the motion");
        }

        self->isThreadRunning.store(false);
        {
            std::lock_guard<std::mutex> lock(m_moveMutex);
            m_moveState = MoveState::Stopping;
            m_moveChanged.notify_all();
        }
        try {
            if (m_turntableProfile.bSupportsLockUnlock)
                SetLockMotorWhenIdle(GetLockMotorWhenIdle(), true);
        } catch (...) {
            DiagnosticLog::writeCurrentException(DiagnosticLog::Category::Move,
                                                 "releasing the motor");
        }
    }
    UpdateGlobalPositionAngleAfterRotation();

    // The report is copied to this stack: the object may be destroyed while
    // it runs.
    bool ownerGone = false;
    std::function<void()> report;
    {
        std::lock_guard<std::mutex> lock(m_moveMutex);
        m_moveState = MoveState::Reporting;
        self->ownerGone = &ownerGone;
        MoveDiagnostics::ended(motionThrew, self->stopAsked, self->silent,
                               m_dCurrentGlobalPositionAngle.load());
        if (!self->silent)
            report = m_moveEndReport;
        m_moveChanged.notify_all();
    }
    if (report) {
        try {
            report();
        } catch (...) {
            DiagnosticLog::writeCurrentException(DiagnosticLog::Category::Move,
                                                 "the end-of-move report");
        }
    }
    if (ownerGone)
        return;  // destroyed from the report: the object is gone

    std::lock_guard<std::mutex> lock(m_moveMutex);
    self->ownerGone = nullptr;
    self->finished = true;
    // A move that this report started is the current one now and keeps its
    // own state.
    if (m_rotationThread.load() == self && m_moveState == MoveState::Reporting)
        m_moveState = MoveState::Idle;
    m_moveChanged.notify_all();
}

bool FTDIController::stopCurrentMove(std::unique_lock<std::mutex>& lock, bool silent) {
    // A start under way is let finish, and its move is the one stopped.
    m_moveChanged.wait(lock, [this] { return m_moveState != MoveState::Starting; });

    FTDIThread* current = m_rotationThread.load();
    if (current == nullptr || current->finished)
        return false;
    current->stopAsked = true;
    if (silent)
        current->silent = true;
    if (current->workerId == std::this_thread::get_id())
        return false;  // the own report: that move has ended already

    const bool portWorkLeft =
        m_moveState == MoveState::Running || m_moveState == MoveState::Stopping;
    // A cancel never waits for a report that was under way before it came:
    // that report may be waiting for this very thread. A plain stop does,
    // as it always waited for the stopped worker's callback.
    if (!portWorkLeft && silent)
        return false;
    current->isThreadRunning.store(false);
    ++current->waiters;
    // Its report included; a silenced move has none, so then this is the
    // wait for port work alone.
    m_moveChanged.wait(lock, [&] { return current->finished; });
    --current->waiters;
    return true;
}

void FTDIController::stopAndRelease(bool silent) {
    std::vector<FTDIThread*> ended;
    {
        std::unique_lock<std::mutex> lock(m_moveMutex);
        ++m_stopsUnderWay;
        stopCurrentMove(lock, silent);
        --m_stopsUnderWay;
        m_moveChanged.notify_all();
        ended = takeFinishedWorkers(std::this_thread::get_id());
    }
    joinAndRelease(ended);
}

bool FTDIController::stopRotation() {
    if (!holdsHandle())
        return SetFTDIError(TT_ERROR_NULL_HANDLE);
    stopAndRelease(false);
    return true;
}

void FTDIController::cancelRotation() {
    stopAndRelease(true);
}

void FTDIController::closeDevice() {
    std::vector<FTDIThread*> ended;
    {
        std::unique_lock<std::mutex> lock(m_moveMutex);
        ++m_stopsUnderWay;
        stopCurrentMove(lock, true);
        waitForExclusiveWork(lock);
    }
    {
        std::lock_guard<std::mutex> port(m_portMutex);
        // Closing without a device is allowed and answers FT_INVALID_HANDLE,
        // which is no fault worth a record.
        const FT_STATUS status = FT_Close(m_ftdiHandle);
        if (m_ftdiHandle != nullptr)
            D2xxDiagnostics::checked("FT_Close", status);
        m_ftdiHandle = nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(m_moveMutex);
        --m_stopsUnderWay;
        m_moveChanged.notify_all();
        ended = takeFinishedWorkers(std::this_thread::get_id());
    }
    joinAndRelease(ended);
}

void FTDIController::waitForExclusiveWork(std::unique_lock<std::mutex>& lock) {
    // The own report's shutter cannot be under way while its thread is here.
    m_moveChanged.wait(lock, [this] { return m_moveState != MoveState::Exclusive; });
}

bool FTDIController::beginExclusivePortWork() {
    if (!holdsHandle())
        return TT_LOG_REFUSAL(Move, "exclusive port work refused: no device open");
    std::lock_guard<std::mutex> lock(m_moveMutex);
    if (m_stopsUnderWay > 0 ||
        (m_moveState != MoveState::Idle && m_moveState != MoveState::Reporting))
        return TT_LOG_REFUSAL(Move,
                              "exclusive port work refused: the move is %s, %d stop(s) under way",
                              stateName(m_moveState), m_stopsUnderWay);
    m_moveState = MoveState::Exclusive;
    return true;
}

void FTDIController::endExclusivePortWork() {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    if (m_moveState == MoveState::Exclusive)
        m_moveState = restingState();
    m_moveChanged.notify_all();
}

void FTDIController::stopRotationWorker() {
    const std::thread::id self = std::this_thread::get_id();
    std::vector<FTDIThread*> ended;
    {
        std::unique_lock<std::mutex> lock(m_moveMutex);
        ++m_stopsUnderWay;
        stopCurrentMove(lock, true);
        waitForExclusiveWork(lock);
        for (FTDIThread* worker : m_workers) {
            worker->stopAsked = true;
            worker->silent = true;
            worker->isThreadRunning.store(false);
        }
        // Every other worker has to be out before the object may go; its
        // report, if one is under way, is host code that cannot be cut short.
        m_moveChanged.wait(lock, [&] {
            for (const FTDIThread* worker : m_workers)
                if (worker->workerId != self && !worker->finished)
                    return false;
            return true;
        });
        for (FTDIThread* worker : m_workers) {
            if (worker->workerId == self) {
                // Destroyed from this worker's own report: it cannot join
                // itself, and it returns at once, touching nothing.
                if (worker->ownerGone != nullptr)
                    *worker->ownerGone = true;
                worker->detach();
            }
            ended.push_back(worker);
        }
        m_workers.clear();
        m_rotationThread.store(nullptr);
        --m_stopsUnderWay;
        m_moveChanged.notify_all();
    }
    joinAndRelease(ended);
}

std::vector<FTDIController::FTDIThread*> FTDIController::takeFinishedWorkers(std::thread::id self) {
    std::vector<FTDIThread*> ended;
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        FTDIThread* worker = *it;
        if (worker->finished && worker->waiters == 0 && worker->workerId != self) {
            if (m_rotationThread.load() == worker)
                m_rotationThread.store(nullptr);
            ended.push_back(worker);
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
    return ended;
}

void FTDIController::joinAndRelease(std::vector<FTDIThread*>& workers) {
    for (FTDIThread* worker : workers) {
        if (worker->joinable())
            worker->join();
        delete worker;
    }
    workers.clear();
}

bool FTDIController::IsTurntableRotating() const {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    const FTDIThread* current = m_rotationThread.load();
    return current != nullptr && current->isThreadRunning.load();
}

bool FTDIController::IsTurntableStopped() const {
    return !IsTurntableRotating();
}

bool FTDIController::HasWorkerInFlight() const {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    for (const FTDIThread* worker : m_workers)
        if (!worker->finished)
            return true;
    return false;
}

void FTDIController::SetMoveEndReport(std::function<void()> report) {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    m_moveEndReport = std::move(report);
}

bool FTDIController::IsRotationRequested() const {
    const FTDIThread* current = m_rotationThread.load();
    return current != nullptr && current->isThreadRunning.load();
}

const char* FTDIController::stateName(MoveState state) {
    switch (state) {
        case MoveState::Idle:
            return "idle";
        case MoveState::Starting:
            return "starting";
        case MoveState::Running:
            return "running";
        case MoveState::Stopping:
            return "stopping";
        case MoveState::Reporting:
            return "reporting";
        case MoveState::Exclusive:
            return "exclusive";
    }
    return "in an unknown state";
}
