#ifndef TESTS_SUPPORT_WAITING_H
#define TESTS_SUPPORT_WAITING_H

#include <chrono>
#include <functional>
#include <thread>

namespace ttsupport {

/// Polls `condition` every millisecond until it holds (true) or `timeout`
/// has passed (false). The timeout is generous by default: the machines the
/// suites run on are shared and sanitizers slow them down, so only the
/// condition, never the time it took, is what a test asserts with this.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace ttsupport

#endif  // TESTS_SUPPORT_WAITING_H
