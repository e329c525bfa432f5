#ifndef HX_TURNTABLE_HARDWARE_H
#define HX_TURNTABLE_HARDWARE_H

#include <cstddef>
#include <cstdint>

#include "HxAbstractPlugin.h"
#include "HxExport.h"
#include "HxTurntableHardwarePrivate.h"
#include "HxTypes.h"

/// The abstract interface of a turntable-hardware plug-in: what the host
/// calls to list, open, close and turn a turntable, and the three callbacks
/// (TurntableHardwarePrivate) through which the plug-in reports back.
class HX_EXPORT HxTurntableHardware : public virtual HxAbstractPlugin {
public:
    HxTurntableHardware();
    ~HxTurntableHardware() override;

    virtual DevicesNamesList availableDevices() const = 0;
    virtual void openDevice(size_t index) = 0;
    virtual void closeDevice() = 0;
    virtual uint32_t stepsPerRevolution() const = 0;
    /// Whether the plug-in supports a host-driven stepped spin; the base says no.
    virtual bool stepsSpinningWillStart();
    virtual void stepsSpinningWillStop();
    virtual bool rotateDeviceToAngle(float angle) = 0;
    virtual void stopAngleRotation();

    /// The host's record of its chosen turntable; the plug-in does not read it.
    void setCurrentTurntableIndex(size_t index);
    size_t currentTurntableIndex() const;

    /// Invoke the host's slots with this object as sender. An empty slot
    /// raises std::bad_function_call.
    void hardwareOpenSucceeded(size_t index, bool canMoveCounterclockwise);
    void hardwareDisconnected(size_t index);
    void turntableRotationStopped();

    /// Unused by this plug-in: 0.0 and 0.
    float stepsToDegrees(short steps) const;
    short degreesToSteps(float degrees) const;

private:
    TurntableHardwarePrivate* m_PImpl;
};

#endif  // HX_TURNTABLE_HARDWARE_H
