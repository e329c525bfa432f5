#ifndef FTDI_THREAD_H
#define FTDI_THREAD_H

#include <atomic>
#include <thread>

#include "FTDIController.h"

/// The worker of one move: the thread (the base object, joinable until joined)
/// and its running flag, true while the move is meant to go on. Every load and
/// store of the flag is sequentially consistent. The object must be joined (or,
/// on its own thread, detached) before it is destroyed.
struct FTDIController::FTDIThread : public std::thread {
    /// A worker not started yet, its flag already true: the controller
    /// publishes it in m_rotationThread before calling start().
    FTDIThread();
    /// Sets the flag and starts function(controller) at once.
    FTDIThread(void (*function)(FTDIController*), FTDIController* controller);

    /// Starts function(controller) on a new thread. Throws std::system_error
    /// when the thread cannot be created.
    void start(void (*function)(FTDIController*), FTDIController* controller);

    std::atomic<bool> isThreadRunning;

    // Bookkeeping of the owning controller, guarded by its thread lock. The id
    // is kept apart from the base so that reading it never races with join().
    std::thread::id workerId;
    bool joinClaimed;
};

#endif  // FTDI_THREAD_H
