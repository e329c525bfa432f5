#include <algorithm>
#include <thread>

#include "D2xxDiagnostics.h"
#include "FTDIController.h"
#include "FTDIRotationParameters.h"
#include "FTDIThread.h"
#include "MoveDiagnostics.h"
#include "RealtimeMoveScope.h"

// The whole lifecycle of a connection and of its moves, every transition of
// the state machine described at the class: who may do what in which state.
//
// Why nothing deadlocks and nothing is used after it is freed:
// - The state lock is never held across a D2XX call, a wait, a join,
//   Initialize or the report, so a report may call back into any operation.
// - A cancel or close waits only for port work (bounded: a stop cuts every
//   wait of a motion short) and for another thread's open, close, shutter or
//   EEPROM work (bounded, no host code), never for a report; a plain stop
//   also waits for the stopped move's report, a report under way included.
// - A worker is joined only once it has finished its report; after that it
//   touches nothing of the controller, so the join is short. Each worker is
//   joined by exactly one thread: the one that took it out of m_workers.
// - A worker never joins itself: a destructor run from a worker's own report
//   detaches that one and tells it, through the record both of them hold,
//   to return without touching the object.

// ---- Connection ----

bool FTDIController::openDevice(int index, std::wstring* errorString) {
    if (index == -1) {
        if (errorString)
            *errorString = L"No available device found.";
        return false;
    }

    bool admitted;
    {
        std::lock_guard<std::mutex> lock(m_moveMutex);
        admitted = m_connection == ConnectionState::Closed;
        if (admitted)
            m_connection = ConnectionState::Opening;
    }
    if (!admitted) {
        // Each connection uses a fresh object; a second open is refused and
        // does not keep a handle that nobody would close. Closing also stops
        // a move of the old handle, which stopRotation could no longer reach.
        TT_LOG(Device, Info, "open refused: the connection is not closed; closing it");
        closeDevice();
        return false;
    }

    bool opened = false;
    try {
        opened = openHandle(index, errorString);
        if (opened) {
            atSeam(SeamPoint::BoardSetUpStarting);
            opened = SetUpBoard();
            if (!opened)
                closeHandle();
        }
    } catch (...) {
        DiagnosticLog::writeCurrentException(DiagnosticLog::Category::Device, "opening the device");
        closeHandle();
        std::lock_guard<std::mutex> lock(m_moveMutex);
        m_connection = ConnectionState::Closed;
        m_moveChanged.notify_all();
        throw;
    }
    std::lock_guard<std::mutex> lock(m_moveMutex);
    m_connection = opened ? ConnectionState::Open : ConnectionState::Closed;
    m_moveChanged.notify_all();
    return opened;
}

void FTDIController::closeDevice() {
    const std::thread::id self = std::this_thread::get_id();
    {
        std::unique_lock<std::mutex> lock(m_moveMutex);
        // An open or a close of another thread finishes first, so the chip
        // is closed exactly once, whatever the interleaving.
        m_moveChanged.wait(lock, [this] {
            return m_connection == ConnectionState::Closed || m_connection == ConnectionState::Open;
        });
        if (m_connection == ConnectionState::Closed) {
            lock.unlock();
            closeHandle();
            return;
        }
        m_connection = ConnectionState::Closing;
        ++m_stopsUnderWay;
        stopCurrentMove(lock, true);
        waitForExclusiveWork(lock);
    }
    closeHandle();
    std::vector<WorkerPtr> ended;
    {
        std::lock_guard<std::mutex> lock(m_moveMutex);
        m_connection = ConnectionState::Closed;
        --m_stopsUnderWay;
        m_moveChanged.notify_all();
        ended = takeFinishedWorkers(self);
    }
    joinAndRelease(ended);
}

void FTDIController::closeHandle() {
    m_port.close();
}

bool FTDIController::IsOpen() const {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    return m_connection == ConnectionState::Open;
}

// ---- Starting a move ----

bool FTDIController::startAllowed(std::thread::id self) const {
    if (m_connection != ConnectionState::Open || m_stopsUnderWay > 0)
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
    const std::thread::id self = std::this_thread::get_id();
    std::vector<WorkerPtr> ended;
    RotationParameters before;
    {
        std::lock_guard<std::mutex> lock(m_moveMutex);
        if (m_connection != ConnectionState::Open) {
            TT_LOG_REFUSAL(Move, "start refused: the connection is %s", stateName(m_connection));
            return SetFTDIError(TT_ERROR_NULL_HANDLE);
        }
        if (!startAllowed(self))
            return TT_LOG_REFUSAL(Move, "start refused: the move is %s, %d stop(s) under way",
                                  stateName(m_moveState), m_stopsUnderWay);
        m_moveState = MoveState::Starting;
        ended = takeFinishedWorkers(self);
        before = *m_parameters;
    }
    joinAndRelease(ended);
    atSeam(SeamPoint::StartAdmitted);

    auto restore = [&] {
        if (!prepare)
            return;
        std::lock_guard<std::mutex> lock(m_moveMutex);
        m_parameters->direction = before.direction;
        m_parameters->countsToRotate = before.countsToRotate;
        m_parameters->targetAngle = before.targetAngle;
        m_parameters->pendingTarget = before.pendingTarget;
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
    WorkerPtr fresh = std::make_shared<FTDIThread>();
    fresh->motion = motion;
    // The move is booked from what it was started with.
    fresh->counts = m_parameters->countsToRotate;
    fresh->direction = m_parameters->direction;
    fresh->countsPerRevolution = m_parameters->countsPerRevolution;
    fresh->startAngle = m_parameters->currentAngle;
    fresh->preparedTarget = m_parameters->targetAngle;
    m_rotationThread.store(fresh.get());
    try {
        m_workers.push_back(fresh);
        // The thread holds the record too: it outlives an owner destroyed
        // from the report.
        fresh->thread = std::thread([this, fresh] { runMove(fresh); });
    } catch (...) {
        DiagnosticLog::writeCurrentException(DiagnosticLog::Category::Move, "creating the worker");
        if (!m_workers.empty() && m_workers.back() == fresh)
            m_workers.pop_back();
        m_rotationThread.store(previous);
        throw;
    }
    fresh->workerId = fresh->thread.get_id();
    m_moveState = MoveState::Running;
    m_moveChanged.notify_all();
    return true;
}

// ---- The worker ----

void FTDIController::runMove(const WorkerPtr& self) {
    // The worker waits until its launch is complete, so that workerId and the
    // state are settled before anything of the move can be observed.
    { std::lock_guard<std::mutex> lock(m_moveMutex); }
    MotionOutcome outcome;
    bool motionThrew = false;

    {
        // The port work of the move runs at a real-time priority where the
        // process may; the host's report below runs as the host's threads do.
        const RealtimeMoveScope priority;
        MoveDiagnostics::started(self->counts, self->direction);

        // An exception leaving a thread function ends the host's whole
        // process: a failing motion still ends the move, and it is reported
        // once.
        try {
            outcome = self->motion(this, self->counts);
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
                releaseMotorUnlessLocked();
        } catch (...) {
            DiagnosticLog::writeCurrentException(DiagnosticLog::Category::Move,
                                                 "releasing the motor");
        }
    }
    endMoveBookkeeping(*self, outcome, motionThrew);

    // Decided under the state lock: a cancel or close that has returned
    // before this point has silenced the move, so its report never begins.
    // One that comes after finds the move Reporting and does not wait for
    // the report; the owner's report gate (the control class) then keeps the
    // host's callback from beginning.
    std::function<void()> report;
    {
        std::lock_guard<std::mutex> lock(m_moveMutex);
        m_moveState = MoveState::Reporting;
        MoveDiagnostics::ended(motionThrew, self->stopAsked, self->silent,
                               m_parameters->currentAngle);
        if (!self->silent && m_connection == ConnectionState::Open)
            report = m_moveEndReport;
        m_moveChanged.notify_all();
    }
    atSeam(SeamPoint::ReportStarting);
    if (report) {
        try {
            report();
        } catch (...) {
            DiagnosticLog::writeCurrentException(DiagnosticLog::Category::Move,
                                                 "the end-of-move report");
        }
    }
    // Written by this very thread, from the report, when that destroyed the
    // object: nothing of it may be touched any more.
    if (self->ownerGone)
        return;

    std::lock_guard<std::mutex> lock(m_moveMutex);
    self->finished = true;
    // A move that this report started is the current one now and keeps its
    // own state.
    if (m_rotationThread.load() == self.get() && m_moveState == MoveState::Reporting)
        m_moveState = MoveState::Idle;
    m_moveChanged.notify_all();
}

void FTDIController::endMoveBookkeeping(const FTDIThread& self, const MotionOutcome& outcome,
                                        bool threw) {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    RotationParameters& book = *m_parameters;
    if (threw || !outcome.countsKnown) {
        // The board cannot tell how far it went: the move's prepared target.
        book.currentAngle = self.preparedTarget;
    } else {
        book.bookMove(self.startAngle, self.direction, outcome.counts, self.countsPerRevolution);
    }
    if (book.pendingTarget) {
        const double target = *book.pendingTarget;
        book.pendingTarget.reset();
        book.setNextGlobalPosition(target);
    }
    if (threw || outcome.boardFailed)
        m_lastMoveEnd = MoveEnd::Failed;
    else if (self.counts != 0 && outcome.counts >= self.counts)
        m_lastMoveEnd = MoveEnd::Completed;
    else
        m_lastMoveEnd = MoveEnd::Stopped;
}

// ---- Stopping ----

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
    std::vector<WorkerPtr> ended;
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
    {
        std::lock_guard<std::mutex> lock(m_moveMutex);
        if (m_connection == ConnectionState::Closed)
            return SetFTDIError(TT_ERROR_NULL_HANDLE);
    }
    stopAndRelease(false);
    return true;
}

void FTDIController::cancelRotation() {
    stopAndRelease(true);
}

void FTDIController::waitForExclusiveWork(std::unique_lock<std::mutex>& lock) {
    // The own report's shutter cannot be under way while its thread is here.
    m_moveChanged.wait(lock, [this] { return m_moveState != MoveState::Exclusive; });
}

bool FTDIController::beginExclusivePortWork() {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    if (m_connection != ConnectionState::Open)
        return TT_LOG_REFUSAL(Move, "exclusive port work refused: the connection is %s",
                              stateName(m_connection));
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

// ---- The owner's end ----

void FTDIController::stopRotationWorker() {
    const std::thread::id self = std::this_thread::get_id();
    std::vector<WorkerPtr> ended;
    {
        std::unique_lock<std::mutex> lock(m_moveMutex);
        ++m_stopsUnderWay;
        stopCurrentMove(lock, true);
        waitForExclusiveWork(lock);
        for (const WorkerPtr& worker : m_workers) {
            worker->stopAsked = true;
            worker->silent = true;
            worker->isThreadRunning.store(false);
        }
        // Every other worker has to be out before the object may go; its
        // report, if one is under way, is host code that cannot be cut short.
        m_moveChanged.wait(lock, [&] {
            return std::all_of(m_workers.begin(), m_workers.end(), [&](const WorkerPtr& worker) {
                return worker->workerId == self || worker->finished;
            });
        });
        for (const WorkerPtr& worker : m_workers) {
            if (worker->workerId == self) {
                // Destroyed from this worker's own report: it cannot join
                // itself, and it returns at once, touching nothing.
                worker->ownerGone = true;
                worker->thread.detach();
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

void FTDIController::waitForWorkersOut() {
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock<std::mutex> lock(m_moveMutex);
    m_moveChanged.wait(lock, [&] {
        return std::all_of(m_workers.begin(), m_workers.end(), [&](const WorkerPtr& worker) {
            return worker->workerId == self || worker->finished;
        });
    });
}

std::vector<FTDIController::WorkerPtr> FTDIController::takeFinishedWorkers(std::thread::id self) {
    std::vector<WorkerPtr> ended;
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        const WorkerPtr& worker = *it;
        if (worker->finished && worker->waiters == 0 && worker->workerId != self) {
            if (m_rotationThread.load() == worker.get())
                m_rotationThread.store(nullptr);
            ended.push_back(worker);
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
    return ended;
}

void FTDIController::joinAndRelease(std::vector<WorkerPtr>& workers) {
    for (const WorkerPtr& worker : workers) {
        if (worker->thread.joinable())
            worker->thread.join();
    }
    workers.clear();
}

// ---- Queries ----

bool FTDIController::IsTurntableRotating() const {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    return m_moveState == MoveState::Starting || m_moveState == MoveState::Running ||
           m_moveState == MoveState::Stopping;
}

bool FTDIController::IsTurntableStopped() const {
    return !IsTurntableRotating();
}

FTDIController::MoveEnd FTDIController::GetLastMoveEnd() const {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    return m_lastMoveEnd;
}

bool FTDIController::HasWorkerInFlight() const {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    return std::any_of(m_workers.begin(), m_workers.end(),
                       [](const WorkerPtr& worker) { return !worker->finished; });
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

const char* FTDIController::stateName(ConnectionState state) {
    switch (state) {
        case ConnectionState::Closed:
            return "closed";
        case ConnectionState::Opening:
            return "opening";
        case ConnectionState::Open:
            return "open";
        case ConnectionState::Closing:
            return "closing";
    }
    return "in an unknown state";
}
