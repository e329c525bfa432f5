#include <thread>

#include "FTDIController.h"

// Who may release which worker, and why nothing deadlocks:
// - An object leaves m_rotationThread or m_retiredThread only after it has
//   been joined (or, on its own thread in the destructor, detached), so a
//   worker that is still in its loop always finds its own object there.
// - One joiner at a time per object (joinClaimed); others let go of the lock
//   and look again a millisecond later until the joiner has released it.
// - A retired worker (one that started its successor from its own thread)
//   never joins and never waits: its successor may be joining it.
// - The thread lock is never held across a join, a Wait or a callout.

bool FTDIController::startRotation() {
    {
        std::lock_guard<std::mutex> lock(m_portMutex);
        if (m_ftdiHandle == nullptr)
            return SetFTDIError(TT_ERROR_NULL_HANDLE);
    }
    // Initialize writes pins: it must run neither under a move in progress
    // nor before an ended worker has finished its end-of-move writes. Nor
    // under the move of another start that has passed these checks and not
    // yet launched its worker: that start holds m_startingThread meanwhile.
    const std::thread::id self = std::this_thread::get_id();
    {
        std::unique_lock<std::mutex> lock(m_threadMutex);
        FTDIThread* current = nullptr;
        if (!releaseEndedWorkers(lock, current) || m_startingThread != std::thread::id())
            return false;
        m_startingThread = self;
    }
    bool started = false;
    try {
        started =
            Initialize() ? StartRotationThread() : SetFTDIError(TT_ERROR_INITIALIZATION_FAILED);
    } catch (...) {
        endStart(self);
        throw;
    }
    endStart(self);
    return started;
}

void FTDIController::endStart(std::thread::id starter) {
    std::lock_guard<std::mutex> lock(m_threadMutex);
    if (m_startingThread == starter)
        m_startingThread = std::thread::id();
}

bool FTDIController::stopRotation() {
    {
        std::lock_guard<std::mutex> lock(m_portMutex);
        if (m_ftdiHandle == nullptr)
            return SetFTDIError(TT_ERROR_NULL_HANDLE);
    }
    stopRotationWorker();
    return true;
}

bool FTDIController::IsTurntableRotating() const {
    std::lock_guard<std::mutex> lock(m_threadMutex);
    const FTDIThread* current = m_rotationThread.load();
    return current != nullptr && current->isThreadRunning.load();
}

bool FTDIController::IsTurntableStopped() const {
    return !IsTurntableRotating();
}

bool FTDIController::IsRotationRequested() const {
    return m_rotationThread.load()->isThreadRunning.load();
}

void FTDIController::EndRotationFlag() {
    m_rotationThread.load()->isThreadRunning.store(false);
}

bool FTDIController::releaseEndedWorkers(std::unique_lock<std::mutex>& lock, FTDIThread*& current) {
    const std::thread::id self = std::this_thread::get_id();
    for (;;) {
        current = m_rotationThread.load();
        if (current != nullptr && current->isThreadRunning.load())
            return false;

        FTDIThread* ended = nullptr;
        if (m_retiredThread != nullptr && m_retiredThread->workerId != self)
            ended = m_retiredThread;
        else if (current != nullptr && current->workerId != self)
            ended = current;
        if (ended == nullptr)
            return true;

        if (m_retiredThread != nullptr && m_retiredThread->workerId == self)
            return false;
        if (ended->joinClaimed) {
            awaitOtherJoiner(lock);
            continue;
        }
        joinAndRelease(lock, ended);
    }
}

bool FTDIController::launchRotationWorker(void (*worker)(FTDIController*)) {
    std::unique_lock<std::mutex> lock(m_threadMutex);

    // The previous worker may still drive the port in its end-of-move steps:
    // it is joined before the next one starts.
    FTDIThread* current = nullptr;
    if (!releaseEndedWorkers(lock, current))
        return false;

    // current is now null or the caller's own ended worker, which has done
    // with the port: it returns right after this callback.
    FTDIThread* fresh = new FTDIThread();
    m_rotationThread.store(fresh);
    try {
        fresh->start(worker, this);
    } catch (...) {
        m_rotationThread.store(current);
        delete fresh;
        throw;
    }
    fresh->workerId = fresh->get_id();
    if (current != nullptr)
        m_retiredThread = current;
    // From here the running move refuses other starts itself; the mark is
    // dropped now so that the new worker may start the next move from its
    // end-of-move callback however soon that comes.
    if (m_startingThread == std::this_thread::get_id())
        m_startingThread = std::thread::id();
    return true;
}

void FTDIController::stopRotationWorker() {
    releaseWorkers(false);
}

void FTDIController::releaseWorkers(bool detachOwnThread) {
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock<std::mutex> lock(m_threadMutex);

    for (;;) {
        FTDIThread* current = m_rotationThread.load();
        if (current != nullptr)
            current->isThreadRunning.store(false);

        const bool onWorkerThread =
            (current != nullptr && current->workerId == self) ||
            (m_retiredThread != nullptr && m_retiredThread->workerId == self);
        if (onWorkerThread && !detachOwnThread)
            return;

        FTDIThread* target = m_retiredThread != nullptr ? m_retiredThread : current;
        if (target == nullptr)
            return;

        if (target->workerId == self) {
            // The controller is destroyed from its own worker's callback: the
            // thread cannot join itself, and it returns right after.
            target->detach();
            if (m_rotationThread.load() == target)
                m_rotationThread.store(nullptr);
            if (m_retiredThread == target)
                m_retiredThread = nullptr;
            delete target;
            continue;
        }
        if (target->joinClaimed) {
            awaitOtherJoiner(lock);
            continue;
        }
        joinAndRelease(lock, target);
    }
}

void FTDIController::joinAndRelease(std::unique_lock<std::mutex>& lock, FTDIThread* ended) {
    ended->joinClaimed = true;
    lock.unlock();
    if (ended->joinable())
        ended->join();
    lock.lock();
    if (m_rotationThread.load() == ended)
        m_rotationThread.store(nullptr);
    if (m_retiredThread == ended)
        m_retiredThread = nullptr;
    delete ended;
}

void FTDIController::awaitOtherJoiner(std::unique_lock<std::mutex>& lock) {
    // Like every wait of this layer, a busy wait on the wall clock.
    lock.unlock();
    Wait(1);
    lock.lock();
}
