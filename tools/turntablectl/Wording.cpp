#include "Wording.h"

#include <cstdio>

#include "ProgressDisplay.h"

namespace Wording {

std::string counted(unsigned long long count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

std::string degrees(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

std::string expectedDuration(const std::optional<double>& seconds) {
    if (!seconds) {
        return "unknown (the DC motor keeps its own pace)";
    }
    if (*seconds >= 60) {
        return "at least " + ProgressDisplay::formatDuration(*seconds);
    }
    char text[40];
    std::snprintf(text, sizeof text, "at least %.1f s", *seconds);
    return text;
}

}  // namespace Wording
