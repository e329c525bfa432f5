#ifndef TESTS_SUPPORT_FTDI_CONTROLLER_TEST_ACCESS_H
#define TESTS_SUPPORT_FTDI_CONTROLLER_TEST_ACCESS_H

#include "FTDIController.h"

/// What tests check of a controller but neither the host nor a driver sees:
/// the bookkept angles, the stored count, the held worker and the handle.
/// The controller names this class its friend; nothing else reaches its state.
class FTDIControllerTestAccess {
public:
    static double currentAngle(const FTDIController& controller) {
        return controller.m_dCurrentGlobalPositionAngle.load();
    }
    static double targetAngle(const FTDIController& controller) {
        return controller.m_dMoveToGlobalPositionAngle.load();
    }
    /// The count as stored, before GetCountsToRotate turns it into an int.
    static unsigned int storedCounts(const FTDIController& controller) {
        return controller.m_nCountsToRotate.load();
    }
    static void setCurrentAngle(FTDIController& controller, double angle) {
        controller.m_dCurrentGlobalPositionAngle.store(angle);
    }
    static bool holdsWorker(const FTDIController& controller) {
        return controller.m_rotationThread.load() != nullptr;
    }
    /// Set only by open and close, so reading it during a move races with nothing.
    static FT_HANDLE handle(const FTDIController& controller) { return controller.m_ftdiHandle; }
};

#endif  // TESTS_SUPPORT_FTDI_CONTROLLER_TEST_ACCESS_H
