// The time left that a spin's progress bar shows: it falls while a move
// runs, starts from the plan's expectation, counts only this run's shots and
// stays a number a person can read whatever the times are.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "TimeLeftEstimate.h"

namespace {

TEST(TimeLeftEstimate, FallsWhileAMoveRunsAndNeverGrowsBetweenTwoShots) {
    TimeLeftEstimate left(5, std::nullopt);
    left.shotTaken(2.0);
    left.shotTaken(4.0);  // 2 s a shot; 3 shots to go
    EXPECT_DOUBLE_EQ(*left.secondsLeft(4.0, 3), 6.0);
    EXPECT_DOUBLE_EQ(*left.secondsLeft(5.0, 3), 5.0);
    double before = *left.secondsLeft(4.0, 3);
    for (double now = 4.0; now < 60.0; now += 0.25) {
        const double at = *left.secondsLeft(now, 3);
        EXPECT_LE(at, before) << "at " << now << " s";
        before = at;
    }
    // A shot slower than the pace holds the two still to come after it.
    EXPECT_DOUBLE_EQ(*left.secondsLeft(30.0, 3), 4.0);
    // The last shot under way: down to nothing, never below.
    EXPECT_DOUBLE_EQ(*left.secondsLeft(30.0, 1), 0.0);
    EXPECT_DOUBLE_EQ(*left.secondsLeft(30.0, 0), 0.0);
}

TEST(TimeLeftEstimate, StartsFromThePlansExpectationOrShowsNoneWithoutOne) {
    EXPECT_FALSE(TimeLeftEstimate(5, std::nullopt).secondsLeft(0.0, 5));
    EXPECT_FALSE(TimeLeftEstimate(5, std::nullopt).secondsLeft(3.0, 5));

    const TimeLeftEstimate planned(5, 10.0);
    EXPECT_DOUBLE_EQ(*planned.secondsLeft(0.0, 5), 10.0);
    EXPECT_DOUBLE_EQ(*planned.secondsLeft(1.5, 5), 8.5);
    // A first move slower than planned holds the four shots after it.
    EXPECT_DOUBLE_EQ(*planned.secondsLeft(7.0, 5), 8.0);
}

TEST(TimeLeftEstimate, TakesThePaceOfThisRunsShotsOnly) {
    // Resumed at shot 5 of 7: three shots in this run, the first after 3 s.
    TimeLeftEstimate resumed(3, 1.5);
    resumed.shotTaken(3.0);
    EXPECT_DOUBLE_EQ(*resumed.secondsLeft(3.0, 2), 6.0);
    resumed.shotTaken(5.0);  // 2.5 s a shot now
    EXPECT_DOUBLE_EQ(*resumed.secondsLeft(5.0, 1), 2.5);
}

TEST(TimeLeftEstimate, StaysFiniteWhereAPaceHasNothingToDivideBy) {
    // No shots in the run: the expectation has no shots to spread over.
    EXPECT_FALSE(TimeLeftEstimate(0, 10.0).secondsLeft(1.0, 0));
    // A shot at once (no move, no settle time): no time a shot.
    TimeLeftEstimate instant(4, std::nullopt);
    instant.shotTaken(0.0);
    const std::optional<double> left = instant.secondsLeft(0.5, 3);
    ASSERT_TRUE(left);
    EXPECT_TRUE(std::isfinite(*left));
    EXPECT_DOUBLE_EQ(*left, 0.0);
    // A clock read before the last shot's time reads as no time since it.
    TimeLeftEstimate early(4, std::nullopt);
    early.shotTaken(2.0);
    EXPECT_DOUBLE_EQ(*early.secondsLeft(1.0, 3), 6.0);
}

}  // namespace
