#ifndef TURNTABLECTL_NUMBER_RANGE_H
#define TURNTABLECTL_NUMBER_RANGE_H

#include <limits>
#include <string>

#include <CLI/CLI.hpp>

/// Checks of numeric options whose refusal says, in plain numbers, what the
/// option takes; CLI11 puts the option's name before it ("--shots: 0 is not
/// allowed: give a whole number from 1 to 4294967295").
namespace NumberRange {

/// A whole number from `low` to `high`.
CLI::Validator whole(long long low, long long high);

/// A whole number from `low` to the largest value of `T`.
template <typename T>
CLI::Validator wholeFrom(long long low) {
    return whole(low, static_cast<long long>(std::numeric_limits<T>::max()));
}

/// Any whole number a `T` holds.
template <typename T>
CLI::Validator anyWhole() {
    return whole(static_cast<long long>(std::numeric_limits<T>::min()),
                 static_cast<long long>(std::numeric_limits<T>::max()));
}

/// A catalogue row: a whole number, which the plug-in's catalogue then
/// bounds (rows outside it are refused with their own exit status).
CLI::Validator row();

/// A finite number above `low`, and at most `high` when that is finite.
CLI::Validator above(double low, double high = std::numeric_limits<double>::infinity());

/// Any finite number.
CLI::Validator finite();
/// Any text but the empty one, which `what` describes ("a file name").
CLI::Validator nonEmpty(const std::string& what);

}  // namespace NumberRange

#endif  // TURNTABLECTL_NUMBER_RANGE_H
