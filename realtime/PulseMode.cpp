#include "PulseMode.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>

std::optional<PulseMode::Mode> PulseMode::parse(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    std::string word = first == std::string::npos ? "" : text.substr(first, last - first + 1);
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (word == "clocked")
        return Clocked;
    if (word == "paced")
        return Paced;
    return std::nullopt;
}

PulseMode::Mode PulseMode::fromEnvironment() {
    const char* value = std::getenv(VARIABLE);
    if (value == nullptr || *value == '\0')
        return Paced;
    if (const std::optional<Mode> mode = parse(value))
        return *mode;
    // Said once: a host starting many moves would otherwise repeat it each time.
    static std::atomic<bool> told{false};
    if (!told.exchange(true))
        std::fprintf(stderr,
                     "vorandel-turntable: %s=\"%s\" is neither \"clocked\" nor \"paced\"; "
                     "the step pulses stay host-paced\n",
                     VARIABLE, value);
    return Paced;
}

const char* PulseMode::name(Mode mode) {
    return mode == Clocked ? "clocked" : "paced";
}
