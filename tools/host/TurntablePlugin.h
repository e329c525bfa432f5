#ifndef TURNTABLECTL_TURNTABLE_PLUGIN_H
#define TURNTABLECTL_TURNTABLE_PLUGIN_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "HxTurntableHardwarePrivate.h"
#include "HxVorandelTurntableControl.h"

/// The plug-in as a host application holds it: the shared library loaded at
/// run time with dlopen, one HxVorandelTurntableControl made through the
/// library's exported constructor, and the three process-wide callback slots.
///
/// The program does not link the plug-in. Virtual operations reach the
/// library through the object's own virtual table (hardware()); the
/// non-virtual operations are looked up by the names the compiler gives
/// their declarations (entrypoints/EntryPointList.h) and called
/// here, so whatever works through this class works for any host.
class TurntablePlugin {
public:
    /// Loads the library at `path` and makes the plug-in object. On failure
    /// returns null with the reason in `*error`.
    static std::unique_ptr<TurntablePlugin> load(const std::string& path, std::string* error);

    /// Clears the callback slots, destroys the plug-in object through its
    /// virtual destructor, then unloads the library. The caller closes the
    /// device first.
    ~TurntablePlugin();

    TurntablePlugin(const TurntablePlugin&) = delete;
    TurntablePlugin& operator=(const TurntablePlugin&) = delete;

    /// The host's abstract interface of the object.
    HxTurntableHardware& hardware() { return *m_object; }
    /// The path the library was loaded from.
    const std::string& path() const { return m_path; }

    /// Assigns the library's callback slots.
    void setCallbacks(HxHardwareOpenSucceeded openSucceeded, HxHardwareDisconnected disconnected,
                      HxTurntableRotationStopped rotationStopped);

    // The public non-virtual operations of HxVorandelTurntableControl and
    // HxAbstractPlugin that a host uses.
    HxString lastError() const;
    /// The catalogue's labels in row order.
    DevicesNamesList catalogueNames() const;
    void openDevice(size_t index, bool* success);
    bool isTurntableOpened() const;
    void spinningWillStart();
    bool startRotation();
    void stopRotation();
    bool IsTurntableRotating();
    int SetRotationIncrementInCounts(int counts);
    double SetRotationIncrementInDegrees(double degrees);
    void SetCountsPerRevolution(unsigned counts);
    void SetRotationSpeed(unsigned speed);
    void SetRotationClockwise();
    void SetRotationCounterClockwise();
    void SetLockMotorWhenIdle(bool lock, bool changeControllerBits);
    unsigned rotationSpeed() const;
    bool isRotationClockwise() const;
    bool isClockwiseActiveHigh() const;
    bool isMotorEnableActiveHigh() const;
    bool isLockMotorWhenIdle() const;
    bool shutterReleaseCameraHardware();
    bool writeToEEPROM(short writtenId);
    bool readFromEEPROM(short* writtenId);
    /// Every attached turntable chip, in list order.
    std::vector<HxVorandelTurntableControl::AttachedTurntable> attachedTurntables() const;
    /// Discovery of the turntable at `position` of attachedTurntables().
    DevicesNamesList availableDevicesAt(size_t position) const;
    /// The bookkept angle from the origin, clockwise positive.
    double globalPositionInDegrees() const;
    /// How the last move of the open connection ended.
    HxVorandelTurntableControl::MoveOutcome lastMoveOutcome() const;
    /// The chip's byte clock as last measured; all zero until then.
    HxVorandelTurntableControl::ChipByteClock chipByteClock() const;
    /// Measures the chip's byte clock with a stream that moves nothing.
    HxVorandelTurntableControl::ChipByteClock measureChipByteClock();

private:
    struct EntryPoints;

    TurntablePlugin() = default;

    std::string m_path;
    void* m_library = nullptr;
    std::unique_ptr<EntryPoints> m_entry;
    HxVorandelTurntableControl* m_object = nullptr;
    HxHardwareOpenSucceeded* m_openSucceededSlot = nullptr;
    HxHardwareDisconnected* m_disconnectedSlot = nullptr;
    HxTurntableRotationStopped* m_rotationStoppedSlot = nullptr;
};

#endif  // TURNTABLECTL_TURNTABLE_PLUGIN_H
