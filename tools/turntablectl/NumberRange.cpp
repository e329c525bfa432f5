#include "NumberRange.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace NumberRange {

namespace {

std::string plain(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

std::string refusal(const std::string& text, const std::string& allowed) {
    return text + " is not allowed: give " + allowed;
}

/// `text` as a finite number, or false.
bool parseReal(const std::string& text, double* value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    *value = std::strtod(text.c_str(), &end);
    return *end == '\0' && errno != ERANGE && std::isfinite(*value);
}

/// `text` as a whole number (an optional sign, then digits), or false.
bool parseWhole(const std::string& text, long long* value) {
    const size_t digits = text.find_first_not_of("+-") == 1 ? 1 : 0;
    if (text.size() <= digits ||
        text.find_first_not_of("0123456789", digits) != std::string::npos) {
        return false;
    }
    errno = 0;
    *value = std::strtoll(text.c_str(), nullptr, 10);
    return errno != ERANGE;
}

}  // namespace

CLI::Validator whole(long long low, long long high) {
    const std::string allowed =
        "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
    return CLI::Validator(
        [low, high, allowed](std::string& text) -> std::string {
            long long value = 0;
            if (!parseWhole(text, &value) || value < low || value > high) {
                return refusal(text, allowed);
            }
            return "";
        },
        std::to_string(low) + " to " + std::to_string(high));
}

CLI::Validator row() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            long long value = 0;
            return parseWhole(text, &value)
                       ? ""
                       : refusal(text,
                                 "a catalogue row: a whole number from 0 (`list` of a "
                                 "turntable without identity record names them all)");
        },
        "row");
}

CLI::Validator above(double low, double high) {
    const std::string allowed =
        "a number above " + plain(low) + (std::isfinite(high) ? " and at most " + plain(high) : "");
    return CLI::Validator(
        [low, high, allowed](std::string& text) -> std::string {
            double value = 0;
            if (!parseReal(text, &value) || !(value > low) || value > high) {
                return refusal(text, allowed);
            }
            return "";
        },
        "above " + plain(low) + (std::isfinite(high) ? ", at most " + plain(high) : ""));
}

CLI::Validator finite() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            double value = 0;
            return parseReal(text, &value) ? "" : refusal(text, "a finite number");
        },
        "finite");
}

CLI::Validator nonEmpty(const std::string& what) {
    return CLI::Validator(
        [what](std::string& text) -> std::string {
            return text.empty() ? "an empty value is not allowed: give " + what : "";
        },
        "not empty");
}

}  // namespace NumberRange
