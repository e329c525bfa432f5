#ifndef FTDI_THREAD_H
#define FTDI_THREAD_H

#include <atomic>
#include <thread>

#include "FTDIController.h"

/// The worker of one move. The controller holds it through a shared pointer
/// in its list of workers, and the worker's thread holds one too, so the
/// record outlives a controller destroyed from the worker's own report.
///
/// The running flag is true while the move is meant to go on; every load and
/// store of it is sequentially consistent, and the motion reads it lock-free.
/// The other fields are read and written only under the controller's state
/// lock, except `ownerGone`, which only the worker's own thread writes and
/// reads (FTDIWorker.cpp).
struct FTDIController::FTDIThread {
    /// The worker's thread; joinable until joined or detached.
    std::thread thread;
    std::atomic<bool> isThreadRunning{true};

    /// The worker's thread id, kept apart from `thread` so that reading it
    /// never races with join().
    std::thread::id workerId;
    /// The motion this worker runs.
    RotationMotion motion = nullptr;

    // What the move was started with: its end is booked from these, never
    // from parameters the host changes while it runs.
    uint32_t counts = 0;
    ENUM_ROTATION_DIRECTION direction = TT_TURN_UNDEFINED;
    unsigned int countsPerRevolution = 0;
    double startAngle = 0.0;
    double preparedTarget = 0.0;

    /// A stop has been asked for this move: a start from its report is refused.
    bool stopAsked = false;
    /// The end of this move is not reported (a cancel or a close stopped it).
    bool silent = false;
    /// The report is over: the thread touches nothing of the controller any
    /// more and may be joined at once.
    bool finished = false;
    /// Threads waiting for this move to finish; it is not released meanwhile.
    int waiters = 0;
    /// Set by a controller destructor that runs on this very thread (from
    /// the report), so that the worker returns without touching the object.
    bool ownerGone = false;
};

#endif  // FTDI_THREAD_H
