// The stepper board: steps counted on rising edges, direction, polarities,
// lost steps and the camera lines.
#include <gtest/gtest.h>

#include "BoardPins.h"
#include "SimTestSupport.h"
#include "ftsim/Bench.h"

using namespace ftsim;
using simtest::writeByte;

namespace {

struct Stepper {
    explicit Stepper(const StepperSetup& setup)
        : bench(BenchBuilder().device(DeviceSetup().stepper(setup)).build()),
          handle(simtest::open(0)) {
        simtest::bitBang(handle, BoardPins::Stepper::OUTPUTS);
    }
    void pulses(std::uint8_t lines, int count) {
        for (int i = 0; i < count; ++i) {
            writeByte(handle, std::uint8_t(lines | BoardPins::Stepper::STEP));
            writeByte(handle, lines);
        }
    }
    StepperView& board() { return bench.device(0).stepper(); }
    Bench bench;
    FT_HANDLE handle;
};

}  // namespace

TEST(StepperBoard, ActiveHighEnableAndClockwise) {
    Stepper s(
        StepperSetup().stepsPerRevolution(200).enableActiveHigh(true).clockwiseActiveHigh(true));
    s.pulses(BoardPins::Stepper::MOTOR_ENABLE | BoardPins::Stepper::MOTOR_DIRECTION,
             5);                                    // clockwise
    s.pulses(BoardPins::Stepper::MOTOR_ENABLE, 2);  // counter-clockwise
    EXPECT_EQ(s.board().position(), 3);
    EXPECT_EQ(s.board().pulsesCounted(), 7u);
    EXPECT_EQ(s.board().pulsesLost(), 0u);
    EXPECT_EQ(s.board().stepTimes().size(), 7u);
}

TEST(StepperBoard, ActiveLowEnableAndClockwise) {
    Stepper s(StepperSetup().enableActiveHigh(false).clockwiseActiveHigh(false));
    s.pulses(0, 4);                                    // enable low = on, dir low = clockwise
    s.pulses(BoardPins::Stepper::MOTOR_DIRECTION, 1);  // counter-clockwise
    s.pulses(BoardPins::Stepper::MOTOR_ENABLE, 3);     // disabled
    EXPECT_EQ(s.board().position(), 3);
    EXPECT_EQ(s.board().pulsesCounted(), 5u);
    EXPECT_EQ(s.board().lostWhileDisabled(), 3u);
    EXPECT_FALSE(s.board().enabled());
}

TEST(StepperBoard, OnlyRisingEdgesCount) {
    Stepper s{StepperSetup()};
    writeByte(s.handle, BoardPins::Stepper::MOTOR_ENABLE | BoardPins::Stepper::STEP);
    writeByte(s.handle, BoardPins::Stepper::MOTOR_ENABLE |
                            BoardPins::Stepper::STEP);  // still high: no new edge
    writeByte(s.handle, BoardPins::Stepper::MOTOR_ENABLE);
    EXPECT_EQ(s.board().pulsesCounted(), 1u);
}

TEST(StepperBoard, EnableAndStepInOneByteStep) {
    // Lines written together change together: the edge sees the enable of its byte.
    Stepper s{StepperSetup()};
    writeByte(s.handle, BoardPins::Stepper::MOTOR_ENABLE | BoardPins::Stepper::MOTOR_DIRECTION |
                            BoardPins::Stepper::STEP);
    EXPECT_EQ(s.board().position(), 1);
}

TEST(StepperBoard, EdgesFasterThanTheMotorAreLost) {
    Stepper s(StepperSetup().maxStepRate(100.0));  // at least 10 ms apart
    s.pulses(BoardPins::Stepper::MOTOR_ENABLE | BoardPins::Stepper::MOTOR_DIRECTION,
             3);  // back to back
    EXPECT_EQ(s.board().pulsesCounted(), 1u);
    EXPECT_EQ(s.board().lostTooFast(), 2u);
    simtest::spinFor(11000000);
    s.pulses(BoardPins::Stepper::MOTOR_ENABLE | BoardPins::Stepper::MOTOR_DIRECTION, 1);
    EXPECT_EQ(s.board().pulsesCounted(), 2u);
    s.board().setMaxStepRate(0.0);
    s.pulses(BoardPins::Stepper::MOTOR_ENABLE | BoardPins::Stepper::MOTOR_DIRECTION, 4);
    EXPECT_EQ(s.board().position(), 6);
}

TEST(StepperBoard, ShotIsShutterRisingWhileFocusHigh) {
    Stepper s{StepperSetup()};
    writeByte(s.handle, BoardPins::Stepper::SHUTTER);  // no focus: no shot
    writeByte(s.handle, 0);
    const TimeNs focusAt = now();
    writeByte(s.handle, BoardPins::Stepper::FOCUS);
    simtest::spinFor(2000000);
    writeByte(s.handle, BoardPins::Stepper::FOCUS | BoardPins::Stepper::SHUTTER);
    writeByte(s.handle, 0);
    EXPECT_EQ(s.board().shots(), 1u);
    const auto shots = s.board().shotTimes();
    ASSERT_EQ(shots.size(), 1u);
    EXPECT_GE(shots[0].focusRoseAt, focusAt);
    EXPECT_GE(shots[0].shutterRoseAt - shots[0].focusRoseAt, 2000000);
    const auto events = s.board().lineEvents();
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[2].line, LineEvent::Focus);
    EXPECT_TRUE(events[2].level);
    EXPECT_EQ(events[4].line, LineEvent::Focus);  // both drop in one byte
    EXPECT_FALSE(events[4].level);
}

TEST(StepperBoard, ChipResetLeavesTheLinesWhereTheyWere) {
    Stepper s{StepperSetup()};
    writeByte(s.handle, BoardPins::Stepper::MOTOR_ENABLE);
    FT_SetBitMode(s.handle, 0xFF, FT_BITMODE_RESET);
    EXPECT_TRUE(s.board().enabled());
    EXPECT_EQ(s.bench.device(0).pins() & BoardPins::Stepper::MOTOR_ENABLE,
              BoardPins::Stepper::MOTOR_ENABLE);
}
