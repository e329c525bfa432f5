#include <gtest/gtest.h>

#include <functional>

#include "TestTurntable.h"

namespace {

// The slots are process-wide: every test starts and ends with them empty.
class SdkCallbackSlot : public ::testing::Test {
protected:
    void SetUp() override { clearSlots(); }
    void TearDown() override { clearSlots(); }
    static void clearSlots() {
        TurntableHardwarePrivate::hardwareOpenSucceeded = nullptr;
        TurntableHardwarePrivate::hardwareDisconnected = nullptr;
        TurntableHardwarePrivate::turntableRotationStopped = nullptr;
    }
};

}  // namespace

TEST_F(SdkCallbackSlot, EmptySlotsRaiseBadFunctionCall) {
    TestTurntable plugin;
    EXPECT_THROW(plugin.hardwareOpenSucceeded(1, true), std::bad_function_call);
    EXPECT_THROW(plugin.hardwareDisconnected(2), std::bad_function_call);
    EXPECT_THROW(plugin.turntableRotationStopped(), std::bad_function_call);
}

TEST_F(SdkCallbackSlot, SlotsReceiveTheSenderAndArguments) {
    TestTurntable plugin;
    HxTurntableHardware* openedSender = nullptr;
    size_t openedIndex = 0;
    bool openedFlag = true;
    TurntableHardwarePrivate::hardwareOpenSucceeded = [&](HxTurntableHardware* sender, size_t index,
                                                          bool flag) {
        openedSender = sender;
        openedIndex = index;
        openedFlag = flag;
    };
    size_t disconnectedIndex = 0;
    TurntableHardwarePrivate::hardwareDisconnected = [&](HxTurntableHardware* sender,
                                                         size_t index) {
        EXPECT_EQ(sender, &plugin);
        disconnectedIndex = index;
    };
    int stops = 0;
    TurntableHardwarePrivate::turntableRotationStopped = [&](HxTurntableHardware* sender) {
        EXPECT_EQ(sender, &plugin);
        ++stops;
    };

    plugin.hardwareOpenSucceeded(7, false);
    plugin.hardwareDisconnected(9);
    plugin.turntableRotationStopped();
    plugin.turntableRotationStopped();

    EXPECT_EQ(openedSender, &plugin);
    EXPECT_EQ(openedIndex, 7u);
    EXPECT_FALSE(openedFlag);
    EXPECT_EQ(disconnectedIndex, 9u);
    EXPECT_EQ(stops, 2);
}

// The sender is the HxTurntableHardware part even when the slot is invoked
// through a most-derived object whose virtual base sits elsewhere.
TEST_F(SdkCallbackSlot, SenderIsTheTurntableInterfaceOfTheObject) {
    TestTurntable plugin;
    HxTurntableHardware* expected = &plugin;
    HxTurntableHardware* seen = nullptr;
    TurntableHardwarePrivate::turntableRotationStopped = [&](HxTurntableHardware* sender) {
        seen = sender;
    };
    plugin.turntableRotationStopped();
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(dynamic_cast<TestTurntable*>(seen), &plugin);
}
