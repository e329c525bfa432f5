#include "FTDIController.h"

#include "FTDIRotationParameters.h"
#include "FTDIThread.h"

const unsigned char FTDIController::BITS_ON;
const unsigned char FTDIController::BITS_OFF;
const unsigned char FTDIController::BITMODE_RESET;
const unsigned char FTDIController::BITMODE_ASYNC_BITBANG;

std::atomic<FTDIController::SeamHook> FTDIController::s_seamHook{nullptr};

FTDIController::FTDIController(CompanyDeviceType deviceType)
    : m_lastError(TT_ERROR_OK),
      m_bClockwiseActiveHigh(true),
      m_bMotorEnableActiveHigh(true),
      m_bUSBEnableActiveHigh(true),
      m_nRotationSpeed(0),
      m_bLockMotorWhenIdle(true),
      m_rotationThread(nullptr),
      m_turntableProfile{false, false, false},
      m_companyDeviceType(deviceType),
      m_connection(ConnectionState::Closed),
      m_moveState(MoveState::Idle),
      m_stopsUnderWay(0),
      m_parameters(std::make_unique<RotationParameters>()),
      m_lastMoveEnd(MoveEnd::None) {}

FTDIController::~FTDIController() {
    stopRotationWorker();
}

bool FTDIController::SetFTDIError(ENUM_ERROR error) {
    m_lastError.store(error);
    return false;
}

FTDIController::ENUM_ERROR FTDIController::GetLastFTDIError() const {
    return m_lastError.load();
}

FTDIController::TurntableProfile FTDIController::GetTurntableProfile() const {
    return m_turntableProfile;
}

void FTDIController::SetTurntableProfile(const TurntableProfile& profile) {
    m_turntableProfile = profile;
}

bool FTDIController::triggerShutterRelease() {
    return false;
}

MeasuredByteClock FTDIController::GetMeasuredByteClock() const {
    return {};
}

MeasuredByteClock FTDIController::MeasureByteClock() {
    return {};
}

bool FTDIController::SetUpBoard() {
    return true;
}

bool FTDIController::Initialize() {
    return true;
}

bool FTDIController::StartRotationThread() {
    return false;
}

void FTDIController::atSeam(SeamPoint point) const {
    if (const SeamHook hook = s_seamHook.load(std::memory_order_acquire))
        hook(this, point);
}
