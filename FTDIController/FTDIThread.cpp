#include "FTDIThread.h"

FTDIController::FTDIThread::FTDIThread()
    : std::thread(),
      isThreadRunning(true),
      workerId(),
      motion(nullptr),
      stopAsked(false),
      silent(false),
      finished(false),
      waiters(0),
      ownerGone(nullptr) {}

FTDIController::FTDIThread::FTDIThread(void (*function)(FTDIController*),
                                       FTDIController* controller)
    : FTDIThread() {
    start(function, controller);
}

void FTDIController::FTDIThread::start(void (*function)(FTDIController*),
                                       FTDIController* controller) {
    static_cast<std::thread&>(*this) = std::thread(function, controller);
}
