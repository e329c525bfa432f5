#ifndef FTDI_THREAD_H
#define FTDI_THREAD_H

#include <atomic>
#include <thread>

#include "FTDIController.h"

/// The worker of one move: the thread (the base object, joinable until joined)
/// and its running flag, true while the move is meant to go on. Every load and
/// store of the flag is sequentially consistent. The remaining fields are the
/// move's own part of the lifecycle and are read and written only under the
/// controller's move lock (FTDIWorker.cpp).
struct FTDIController::FTDIThread : public std::thread {
    /// A worker not started yet, its flag already true: the controller
    /// publishes it before it assigns the thread (launchRotationWorker).
    FTDIThread();

    std::atomic<bool> isThreadRunning;

    /// The worker's thread, kept apart from the base so that reading it never
    /// races with join().
    std::thread::id workerId;
    /// The motion this worker runs.
    RotationMotion motion;
    /// A stop has been asked for this move: a start from its report is refused.
    bool stopAsked;
    /// The end of this move is not reported (a cancel or a close stopped it).
    bool silent;
    /// The report is over: the thread touches nothing of the controller any
    /// more and may be joined at once.
    bool finished;
    /// Threads waiting for this move to finish; it is not released meanwhile.
    int waiters;
    /// While the report runs: set to true by a destructor that runs on this
    /// very thread, so that the worker returns without touching the object.
    bool* ownerGone;
};

#endif  // FTDI_THREAD_H
