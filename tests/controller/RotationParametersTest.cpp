#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "TestController.h"

namespace {

const auto CW = FTDIController::TT_TURN_CLOCKWISE;
const auto CCW = FTDIController::TT_TURN_COUNTER_CLOCKWISE;
const auto UNDEFINED = FTDIController::TT_TURN_UNDEFINED;

struct TargetCase {
    FTDIController::ENUM_ROTATION_DIRECTION direction;
    double target;
    int counts;
    double newTarget;
};

}  // namespace

TEST(AbsoluteTarget, SixThousandFourHundredCountTable) {
    const TargetCase cases[] = {
        {CW, 90, 4800, -270},  {CCW, 90, 1600, 90}, {CW, -90, 1600, -90},
        {CCW, -90, 4800, 270}, {CW, 0, 6400, 0},    {CW, 450, 4800, -270},
    };
    for (const TargetCase& c : cases) {
        TestController controller;
        controller.SetCountsPerRevolution(6400);
        controller.SetRotationDirection(c.direction);
        controller.SetRotationNextGlobalPositionInDegrees(c.target);
        EXPECT_EQ(controller.GetCountsToRotate(), c.counts) << c.direction << " to " << c.target;
        EXPECT_NEAR(FTDIControllerTestAccess::targetAngle(controller), c.newTarget, 1e-9)
            << c.direction << " to " << c.target;
        EXPECT_EQ(controller.GetRotationDirection(), c.direction);
    }
}

TEST(AbsoluteTarget, DifferenceBeyondAFullTurnFlipsToCounterClockwise) {
    TestController controller;
    controller.SetCountsPerRevolution(6400);
    FTDIControllerTestAccess::setCurrentAngle(controller, -300.0);

    controller.SetRotationNextGlobalPositionInDegrees(100.0);

    EXPECT_EQ(controller.GetRotationDirection(), CCW);
    EXPECT_EQ(controller.GetCountsToRotate(), 7111);
    EXPECT_NEAR(FTDIControllerTestAccess::targetAngle(controller),
                std::fmod(-300.0 + 7111 * 0.05625, 360.0), 1e-9);
    EXPECT_NEAR(FTDIControllerTestAccess::targetAngle(controller), 99.99375, 1e-9);
}

TEST(AbsoluteTarget, ExactlyOneTurnAwayChangesNothing) {
    TestController controller;
    controller.SetCountsPerRevolution(6400);
    controller.SetRotationIncrementInCounts(100);
    const double target = FTDIControllerTestAccess::targetAngle(controller);
    FTDIControllerTestAccess::setCurrentAngle(controller, -90.0);

    controller.SetRotationNextGlobalPositionInDegrees(270.0);

    EXPECT_EQ(controller.GetCountsToRotate(), 100);
    EXPECT_EQ(FTDIControllerTestAccess::targetAngle(controller), target);
    EXPECT_EQ(controller.GetRotationDirection(), CW);
}

TEST(AbsoluteTarget, UndefinedDirectionOrNonFiniteTargetChangesNothing) {
    TestController controller;
    controller.SetCountsPerRevolution(6400);
    controller.SetRotationIncrementInCounts(100);
    const double target = FTDIControllerTestAccess::targetAngle(controller);

    controller.SetRotationNextGlobalPositionInDegrees(std::nan(""));
    controller.SetRotationNextGlobalPositionInDegrees(std::numeric_limits<double>::infinity());
    controller.SetRotationDirection(UNDEFINED);
    controller.SetRotationNextGlobalPositionInDegrees(90.0);

    EXPECT_EQ(controller.GetCountsToRotate(), 100);
    EXPECT_EQ(FTDIControllerTestAccess::targetAngle(controller), target);
    EXPECT_TRUE(std::isfinite(FTDIControllerTestAccess::targetAngle(controller)));
}

TEST(IncrementInDegrees, RoundsToWholeCountsAndReturnsTheRoundedIncrement) {
    TestController controller;
    controller.SetCountsPerRevolution(72);

    EXPECT_DOUBLE_EQ(controller.SetRotationIncrementInDegrees(12.0), 10.0);
    EXPECT_EQ(controller.GetCountsToRotate(), 2);
    EXPECT_DOUBLE_EQ(FTDIControllerTestAccess::targetAngle(controller), -10.0);
    EXPECT_EQ(controller.GetRotationDirection(), CW);

    EXPECT_DOUBLE_EQ(controller.SetRotationIncrementInDegrees(2.5), 5.0);
    EXPECT_EQ(controller.GetCountsToRotate(), 1);
}

TEST(IncrementInDegrees, NegativeIncrementFlipsTheDirection) {
    TestController controller;
    controller.SetCountsPerRevolution(72);

    EXPECT_DOUBLE_EQ(controller.SetRotationIncrementInDegrees(-12.0), 10.0);
    EXPECT_EQ(controller.GetRotationDirection(), CCW);
    EXPECT_EQ(controller.GetCountsToRotate(), 2);
    EXPECT_DOUBLE_EQ(FTDIControllerTestAccess::targetAngle(controller), 10.0);
    EXPECT_DOUBLE_EQ(controller.GetRotationIncrementInDegrees(), 10.0);
}

TEST(IncrementInDegrees, ZeroDegreesOrNoCountsPerRevolutionChangesNothing) {
    TestController controller;
    EXPECT_EQ(controller.SetRotationIncrementInDegrees(30.0), 0.0);
    EXPECT_EQ(controller.GetLastFTDIError(), FTDIController::TT_ERROR_OK);

    controller.SetCountsPerRevolution(72);
    controller.SetRotationIncrementInCounts(3);
    const double target = FTDIControllerTestAccess::targetAngle(controller);
    EXPECT_EQ(controller.SetRotationIncrementInDegrees(0.0), 0.0);
    EXPECT_EQ(controller.SetRotationIncrementInDegrees(-0.0), 0.0);
    EXPECT_EQ(controller.GetCountsToRotate(), 3);
    EXPECT_EQ(FTDIControllerTestAccess::targetAngle(controller), target);
    EXPECT_EQ(controller.GetRotationDirection(), CW);
}

TEST(IncrementInDegrees, LessThanHalfACountSelectsContinuousRotation) {
    TestController controller;
    controller.SetCountsPerRevolution(200);
    controller.SetRotationIncrementInCounts(3);
    EXPECT_EQ(controller.SetRotationIncrementInDegrees(0.1), 0.0);
    EXPECT_EQ(controller.GetCountsToRotate(), 0);
}

TEST(IncrementInDegrees, NonFiniteOrUnrepresentableInputIsRefused) {
    TestController controller;
    controller.SetCountsPerRevolution(360);
    controller.SetRotationIncrementInCounts(3);
    const double target = FTDIControllerTestAccess::targetAngle(controller);

    for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity(), 1e19, -1e19,
                       std::numeric_limits<double>::max()}) {
        EXPECT_EQ(controller.SetRotationIncrementInDegrees(bad), 0.0) << bad;
        EXPECT_EQ(controller.GetCountsToRotate(), 3) << bad;
        EXPECT_EQ(FTDIControllerTestAccess::targetAngle(controller), target) << bad;
        EXPECT_EQ(controller.GetRotationDirection(), CW) << bad;
    }
}

TEST(IncrementInDegrees, RepresentableCountsKeepTheirLowThirtyTwoBits) {
    TestController controller;
    controller.SetCountsPerRevolution(360);
    // 2^32 + 5 counts at one degree per count: the low 32 bits are 5.
    EXPECT_DOUBLE_EQ(controller.SetRotationIncrementInDegrees(4294967301.0), 5.0);
    EXPECT_EQ(FTDIControllerTestAccess::storedCounts(controller), 5u);
    // Just below 2^63 counts is still representable: stored, not refused.
    const unsigned int lowBits =
        static_cast<unsigned int>(static_cast<uint64_t>(static_cast<int64_t>(9.2e18 + 0.5)));
    ASSERT_NE(lowBits, 0u);
    EXPECT_DOUBLE_EQ(controller.SetRotationIncrementInDegrees(9.2e18), lowBits);
    EXPECT_EQ(FTDIControllerTestAccess::storedCounts(controller), lowBits);
}

TEST(IncrementInCounts, NegativeCountFlipsTheDirectionAndRaisesTheTarget) {
    TestController controller;
    controller.SetCountsPerRevolution(72);
    FTDIControllerTestAccess::setCurrentAngle(controller, 20.0);

    EXPECT_EQ(controller.SetRotationIncrementInCounts(-3), 3);
    EXPECT_EQ(controller.GetRotationDirection(), CCW);
    EXPECT_EQ(controller.GetCountsToRotate(), 3);
    EXPECT_DOUBLE_EQ(FTDIControllerTestAccess::targetAngle(controller), 35.0);

    // Counter-clockwise flips back to clockwise, which lowers the angle.
    EXPECT_EQ(controller.SetRotationIncrementInCounts(-72), 72);
    EXPECT_EQ(controller.GetRotationDirection(), CW);
    EXPECT_DOUBLE_EQ(FTDIControllerTestAccess::targetAngle(controller),
                     std::fmod(20.0 - 360.0, 360.0));
}

TEST(IncrementInCounts, TargetIsFoldedIntoPlusMinus360) {
    TestController controller;
    controller.SetCountsPerRevolution(72);
    FTDIControllerTestAccess::setCurrentAngle(controller, -350.0);
    controller.SetRotationIncrementInCounts(4);
    EXPECT_DOUBLE_EQ(FTDIControllerTestAccess::targetAngle(controller), -10.0);
}

TEST(IncrementInCounts, UndefinedDirectionStaysAndRaisesTheTarget) {
    TestController controller;
    controller.SetCountsPerRevolution(72);
    controller.SetRotationDirection(UNDEFINED);
    EXPECT_EQ(controller.SetRotationIncrementInCounts(5), 5);
    EXPECT_EQ(controller.GetRotationDirection(), UNDEFINED);
    EXPECT_DOUBLE_EQ(FTDIControllerTestAccess::targetAngle(controller), 25.0);

    EXPECT_EQ(controller.SetRotationIncrementInCounts(-1), 1);
    EXPECT_EQ(controller.GetRotationDirection(), CW);
}

TEST(IncrementInCounts, ZeroSelectsContinuousRotationAndKeepsTheTarget) {
    TestController controller;
    controller.SetCountsPerRevolution(72);
    controller.SetRotationIncrementInCounts(6);
    const double target = FTDIControllerTestAccess::targetAngle(controller);
    EXPECT_EQ(controller.SetRotationIncrementInCounts(0), 0);
    EXPECT_EQ(controller.GetCountsToRotate(), 0);
    EXPECT_EQ(FTDIControllerTestAccess::targetAngle(controller), target);
    EXPECT_EQ(controller.GetRotationDirection(), CW);
}

TEST(IncrementInCounts, WithoutCountsPerRevolutionRecordsTheError) {
    TestController controller;
    EXPECT_EQ(controller.SetRotationIncrementInCounts(10), 0);
    EXPECT_EQ(controller.GetLastFTDIError(),
              FTDIController::TT_ERROR_UNDEFINED_COUNTS_PER_REVOLUTION);
    EXPECT_EQ(controller.GetCountsToRotate(), 0);
    EXPECT_EQ(FTDIControllerTestAccess::targetAngle(controller), 0.0);
}

TEST(IncrementInCounts, MostNegativeCountIsStoredWithoutOverflow) {
    TestController controller;
    controller.SetCountsPerRevolution(72);
    controller.SetRotationIncrementInCounts(INT_MIN);
    EXPECT_EQ(FTDIControllerTestAccess::storedCounts(controller), 2147483648u);
    EXPECT_EQ(controller.GetRotationDirection(), CCW);
    EXPECT_TRUE(std::isfinite(FTDIControllerTestAccess::targetAngle(controller)));
}

TEST(Position, EndOfMoveMakesTheTargetCurrentAndOriginResetsOnlyTheCurrent) {
    TestController controller;
    controller.SetCountsPerRevolution(72);
    controller.SetRotationIncrementInCounts(9);
    controller.UpdateGlobalPositionAngleAfterRotation();
    EXPECT_DOUBLE_EQ(FTDIControllerTestAccess::currentAngle(controller), -45.0);

    controller.SetRotationIncrementInCounts(9);
    controller.SetRotationGlobalOriginHere();
    EXPECT_EQ(FTDIControllerTestAccess::currentAngle(controller), 0.0);
    EXPECT_DOUBLE_EQ(FTDIControllerTestAccess::targetAngle(controller), -90.0);

    controller.SetNextGlobalPositionAngle(-450.0);
    EXPECT_DOUBLE_EQ(FTDIControllerTestAccess::targetAngle(controller), -90.0);
    controller.SetNextGlobalPositionAngle(720.0);
    EXPECT_EQ(FTDIControllerTestAccess::targetAngle(controller), 0.0);
}

TEST(Parameters, CountsPerRevolutionKeepsTheStoredCountAndContinuousClearsIt) {
    TestController controller;
    controller.SetCountsPerRevolution(72);
    controller.SetRotationIncrementInCounts(4);
    const double target = FTDIControllerTestAccess::targetAngle(controller);

    controller.SetCountsPerRevolution(144);
    EXPECT_EQ(controller.GetCountsToRotate(), 4);
    EXPECT_DOUBLE_EQ(controller.GetRotationIncrementInDegrees(), 10.0);
    EXPECT_EQ(FTDIControllerTestAccess::targetAngle(controller), target);

    controller.SetRotationContinuous();
    EXPECT_EQ(controller.GetCountsToRotate(), 0);
    EXPECT_EQ(FTDIControllerTestAccess::targetAngle(controller), target);
    EXPECT_EQ(controller.GetRotationDirection(), CW);
}

TEST(Parameters, ActiveLowAliasesClearTheirPolarity) {
    TestController controller;
    controller.SetClockwiseActiveLow();
    controller.SetMotorEnableActiveLow();
    controller.SetUSBEnableActiveLow();
    EXPECT_FALSE(controller.GetClockwiseIsActiveHigh());
    EXPECT_FALSE(controller.GetMotorEnableIsActiveHigh());
    EXPECT_FALSE(controller.GetUSBEnableIsActiveHigh());
}
