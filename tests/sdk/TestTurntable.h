#ifndef TESTS_SDK_TEST_TURNTABLE_H
#define TESTS_SDK_TEST_TURNTABLE_H

#include "HxTurntableHardware.h"

// The smallest concrete turntable plug-in: only the abstract operations, so
// every other behaviour seen through it is the SDK base classes' own.
class TestTurntable : public HxTurntableHardware {
public:
    DevicesNamesList availableDevices() const override { return {}; }
    void openDevice(size_t) override {}
    void closeDevice() override {}
    uint32_t stepsPerRevolution() const override { return 0; }
    bool rotateDeviceToAngle(float) override { return false; }
};

#endif  // TESTS_SDK_TEST_TURNTABLE_H
