#include "FTDIThread.h"

#include "RealtimeMoveScope.h"

FTDIController::FTDIThread::FTDIThread()
    : std::thread(), isThreadRunning(true), joinClaimed(false) {}

FTDIController::FTDIThread::FTDIThread(void (*function)(FTDIController*),
                                       FTDIController* controller)
    : FTDIThread() {
    start(function, controller);
}

void FTDIController::FTDIThread::start(void (*function)(FTDIController*),
                                       FTDIController* controller) {
    static_cast<std::thread&>(*this) = std::thread([function, controller] {
        const RealtimeMoveScope priority;
        function(controller);
    });
}
