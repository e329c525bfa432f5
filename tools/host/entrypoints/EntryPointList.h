#ifndef TURNTABLECTL_ENTRY_POINT_LIST_H
#define TURNTABLECTL_ENTRY_POINT_LIST_H

#include <cstddef>

#include "HxTurntableHardwarePrivate.h"
#include "HxVorandelTurntableControl.h"

// The plug-in's non-virtual operations that turntablectl calls, each with the
// member-pointer type it has in the header (a plain function pointer for a
// static one). The build compiles a reference to
// every one of them (EntryPointProbe.cpp) and reads the symbol the compiler
// gave it, so a renamed operation or a changed signature breaks the build
// instead of failing to resolve at run time.
//
//   TT_ENTRY_POINT(field, member pointer type, member)
#define TT_PLUGIN_ENTRY_POINTS(TT_ENTRY_POINT)                                                    \
    TT_ENTRY_POINT(lastError, HxString (HxAbstractPlugin::*)() const, &HxAbstractPlugin::lastError) \
    TT_ENTRY_POINT(catalogueNames, DevicesNamesList (*)(),                                         \
                   &HxVorandelTurntableControl::catalogueNames)                                    \
    TT_ENTRY_POINT(openDevice, void (HxVorandelTurntableControl::*)(size_t, bool*),                \
                   &HxVorandelTurntableControl::openDevice)                                        \
    TT_ENTRY_POINT(isTurntableOpened, bool (HxVorandelTurntableControl::*)() const,                \
                   &HxVorandelTurntableControl::isTurntableOpened)                                 \
    TT_ENTRY_POINT(spinningWillStart, void (HxVorandelTurntableControl::*)(),                      \
                   &HxVorandelTurntableControl::spinningWillStart)                                 \
    TT_ENTRY_POINT(startRotation, bool (HxVorandelTurntableControl::*)(),                          \
                   &HxVorandelTurntableControl::startRotation)                                     \
    TT_ENTRY_POINT(stopRotation, void (HxVorandelTurntableControl::*)(),                           \
                   &HxVorandelTurntableControl::stopRotation)                                      \
    TT_ENTRY_POINT(IsTurntableRotating, bool (HxVorandelTurntableControl::*)(),                    \
                   &HxVorandelTurntableControl::IsTurntableRotating)                               \
    TT_ENTRY_POINT(SetRotationIncrementInCounts, int (HxVorandelTurntableControl::*)(int),         \
                   &HxVorandelTurntableControl::SetRotationIncrementInCounts)                      \
    TT_ENTRY_POINT(SetRotationIncrementInDegrees, double (HxVorandelTurntableControl::*)(double),  \
                   &HxVorandelTurntableControl::SetRotationIncrementInDegrees)                     \
    TT_ENTRY_POINT(SetCountsPerRevolution, void (HxVorandelTurntableControl::*)(unsigned int),     \
                   &HxVorandelTurntableControl::SetCountsPerRevolution)                            \
    TT_ENTRY_POINT(SetRotationSpeed, void (HxVorandelTurntableControl::*)(unsigned int),           \
                   &HxVorandelTurntableControl::SetRotationSpeed)                                  \
    TT_ENTRY_POINT(SetRotationClockwise, void (HxVorandelTurntableControl::*)(),                   \
                   &HxVorandelTurntableControl::SetRotationClockwise)                              \
    TT_ENTRY_POINT(SetRotationCounterClockwise, void (HxVorandelTurntableControl::*)(),            \
                   &HxVorandelTurntableControl::SetRotationCounterClockwise)                       \
    TT_ENTRY_POINT(SetLockMotorWhenIdle, void (HxVorandelTurntableControl::*)(bool, bool),         \
                   &HxVorandelTurntableControl::SetLockMotorWhenIdle)                              \
    TT_ENTRY_POINT(rotationSpeed, unsigned int (HxVorandelTurntableControl::*)() const,            \
                   &HxVorandelTurntableControl::rotationSpeed)                                     \
    TT_ENTRY_POINT(isRotationClockwise, bool (HxVorandelTurntableControl::*)() const,              \
                   &HxVorandelTurntableControl::isRotationClockwise)                               \
    TT_ENTRY_POINT(isClockwiseActiveHigh, bool (HxVorandelTurntableControl::*)() const,            \
                   &HxVorandelTurntableControl::isClockwiseActiveHigh)                             \
    TT_ENTRY_POINT(isMotorEnableActiveHigh, bool (HxVorandelTurntableControl::*)() const,          \
                   &HxVorandelTurntableControl::isMotorEnableActiveHigh)                           \
    TT_ENTRY_POINT(isLockMotorWhenIdle, bool (HxVorandelTurntableControl::*)() const,              \
                   &HxVorandelTurntableControl::isLockMotorWhenIdle)                               \
    TT_ENTRY_POINT(shutterReleaseCameraHardware, bool (HxVorandelTurntableControl::*)(),           \
                   &HxVorandelTurntableControl::shutterReleaseCameraHardware)                      \
    TT_ENTRY_POINT(writeToEEPROM, bool (HxVorandelTurntableControl::*)(short),                     \
                   &HxVorandelTurntableControl::writeToEEPROM)                                     \
    TT_ENTRY_POINT(readFromEEPROM, bool (HxVorandelTurntableControl::*)(short*),                   \
                   &HxVorandelTurntableControl::readFromEEPROM)                                    \
    TT_ENTRY_POINT(attachedTurntables,                                                             \
                   std::vector<HxVorandelTurntableControl::AttachedTurntable> (*)(),               \
                   &HxVorandelTurntableControl::attachedTurntables)                                \
    TT_ENTRY_POINT(availableDevicesAt,                                                             \
                   DevicesNamesList (HxVorandelTurntableControl::*)(size_t) const,                 \
                   &HxVorandelTurntableControl::availableDevicesAt)                                \
    TT_ENTRY_POINT(globalPositionInDegrees, double (HxVorandelTurntableControl::*)() const,       \
                   &HxVorandelTurntableControl::globalPositionInDegrees)                           \
    TT_ENTRY_POINT(lastMoveOutcome,                                                                \
                   HxVorandelTurntableControl::MoveOutcome (HxVorandelTurntableControl::*)() const, \
                   &HxVorandelTurntableControl::lastMoveOutcome)                                   \
    TT_ENTRY_POINT(chipByteClock,                                                                  \
                   HxVorandelTurntableControl::ChipByteClock (HxVorandelTurntableControl::*)() const, \
                   &HxVorandelTurntableControl::chipByteClock)                                     \
    TT_ENTRY_POINT(measureChipByteClock,                                                           \
                   HxVorandelTurntableControl::ChipByteClock (HxVorandelTurntableControl::*)(),    \
                   &HxVorandelTurntableControl::measureChipByteClock)

// The process-wide callback slots, by field and object.
#define TT_PLUGIN_SLOTS(TT_SLOT)                                                            \
    TT_SLOT(openSucceededSlot, &TurntableHardwarePrivate::hardwareOpenSucceeded)           \
    TT_SLOT(disconnectedSlot, &TurntableHardwarePrivate::hardwareDisconnected)             \
    TT_SLOT(rotationStoppedSlot, &TurntableHardwarePrivate::turntableRotationStopped)

namespace entry_points {

/// The free-function type through which a non-virtual member is called: the
/// object comes first (Itanium C++ ABI), as `this`.
template <typename MemberPointer>
struct FreeFunction;

template <typename R, typename C, typename... A>
struct FreeFunction<R (C::*)(A...)> {
    using type = R (*)(C*, A...);
};

template <typename R, typename C, typename... A>
struct FreeFunction<R (C::*)(A...) const> {
    using type = R (*)(const C*, A...);
};

/// A static member is called as it is, without an object.
template <typename R, typename... A>
struct FreeFunction<R (*)(A...)> {
    using type = R (*)(A...);
};

}  // namespace entry_points

#endif  // TURNTABLECTL_ENTRY_POINT_LIST_H
