#ifndef TURNTABLECTL_WORDING_H
#define TURNTABLECTL_WORDING_H

#include <optional>
#include <string>

/// Numbers in the tool's sentences, written as a person writes them.
namespace Wording {

/// "1 shot", "24 shots": `count` and `noun`, plural by adding "s".
std::string counted(unsigned long long count, const std::string& noun);
/// A number with as many decimals as it needs and no trailing zeros
/// ("0.36", "15", "1e-300").
std::string number(double value);
/// Degrees with two decimals ("225.00").
std::string degrees(double value);

/// "at least 3.2 s", "at least 1:05", or why it is unknown (no value: the
/// DC board's pace).
std::string expectedDuration(const std::optional<double>& seconds);

}  // namespace Wording

#endif  // TURNTABLECTL_WORDING_H
