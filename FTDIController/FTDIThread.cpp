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
