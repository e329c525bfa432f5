#ifndef TESTS_SUPPORT_FTDI_CONTROLLER_TEST_ACCESS_H
#define TESTS_SUPPORT_FTDI_CONTROLLER_TEST_ACCESS_H

#include <functional>
#include <mutex>

#include "FTDIController.h"
#include "FTDIRotationParameters.h"

/// What tests check of a controller but neither the host nor a driver sees:
/// the bookkept angles, the stored count, the held worker and the handle;
/// and the lifecycle's seam, where a test holds a thread inside a narrow
/// window. The controller names this class its friend; nothing else reaches
/// its state.
class FTDIControllerTestAccess {
public:
    using SeamPoint = FTDIController::SeamPoint;

    static double currentAngle(const FTDIController& controller) {
        std::lock_guard<std::mutex> lock(controller.m_moveMutex);
        return controller.m_parameters->currentAngle;
    }
    static double targetAngle(const FTDIController& controller) {
        std::lock_guard<std::mutex> lock(controller.m_moveMutex);
        return controller.m_parameters->targetAngle;
    }
    /// The count as stored, before GetCountsToRotate turns it into an int.
    static unsigned int storedCounts(const FTDIController& controller) {
        std::lock_guard<std::mutex> lock(controller.m_moveMutex);
        return controller.m_parameters->countsToRotate;
    }
    static void setCurrentAngle(FTDIController& controller, double angle) {
        std::lock_guard<std::mutex> lock(controller.m_moveMutex);
        controller.m_parameters->currentAngle = angle;
    }
    static bool holdsWorker(const FTDIController& controller) {
        return controller.m_rotationThread.load() != nullptr;
    }
    static FT_HANDLE handle(const FTDIController& controller) { return controller.m_port.handle(); }

    /// While installed, every controller calls `hook` at each seam point, on
    /// the thread that reaches it. Install it before the threads it watches
    /// start and remove it (nullptr) after they are done.
    static void setSeamHook(std::function<void(const FTDIController*, SeamPoint)> hook) {
        seamHook() = std::move(hook);
        FTDIController::s_seamHook.store(seamHook() ? &callSeamHook : nullptr);
    }

private:
    static std::function<void(const FTDIController*, SeamPoint)>& seamHook() {
        static std::function<void(const FTDIController*, SeamPoint)> hook;
        return hook;
    }
    static void callSeamHook(const FTDIController* controller, SeamPoint point) {
        seamHook()(controller, point);
    }
};

#endif  // TESTS_SUPPORT_FTDI_CONTROLLER_TEST_ACCESS_H
