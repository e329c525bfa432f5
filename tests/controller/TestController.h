#ifndef TESTS_CONTROLLER_TEST_CONTROLLER_H
#define TESTS_CONTROLLER_TEST_CONTROLLER_H

#include <string>
#include <vector>

#include "FTDIController.h"
#include "FTDIControllerTestAccess.h"
#include "ftsim/Call.h"

/// A plain controller with the pin layer and the bookkeeping that drivers use
/// in reach; its private state is read through FTDIControllerTestAccess.
class TestController : public FTDIController {
public:
    explicit TestController(CompanyDeviceType deviceType = VorandelTurntable)
        : FTDIController(deviceType) {}

    using FTDIController::BITMODE_ASYNC_BITBANG;
    using FTDIController::BITMODE_RESET;
    using FTDIController::BITS_OFF;
    using FTDIController::BITS_ON;
    using FTDIController::GetPacket;
    using FTDIController::readChipByte;
    using FTDIController::setBitMode;
    using FTDIController::SetFTDIError;
    using FTDIController::SetMaskBits;
    using FTDIController::SetNextGlobalPositionAngle;
    using FTDIController::UpdateGlobalPositionAngleAfterRotation;
    using FTDIController::Wait;
    using FTDIController::writeChipByte;
};

/// The function names of recorded calls, in order.
inline std::vector<std::string> callNames(const std::vector<ftsim::Call>& calls) {
    std::vector<std::string> names;
    for (const ftsim::Call& call : calls)
        names.push_back(call.function);
    return names;
}

#endif  // TESTS_CONTROLLER_TEST_CONTROLLER_H
