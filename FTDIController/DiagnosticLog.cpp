#include "DiagnosticLog.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <system_error>

#include "DiagnosticSettings.h"

namespace {

// Below PIPE_BUF, so that even a pipe shared by several writers receives
// each line whole.
constexpr std::size_t LINE_CAPACITY = 1024;

const char* const ENVIRONMENT_VARIABLE = "VORANDEL_TURNTABLE_LOG";
const char* const FILE_VARIABLE = "VORANDEL_TURNTABLE_LOG_FILE";

// Guards the sink: a line is never written to a descriptor that a
// reconfiguration is closing.
std::mutex s_sinkMutex;
int s_sinkFd = STDERR_FILENO;
bool s_sinkOwned = false;

// Serialises configurations, the first reading of the environment included.
std::mutex s_configureMutex;

std::string configureLocked(const std::string& value, const std::string& fallbackPath,
                            std::atomic<int>* thresholds, std::atomic<bool>& environmentRead) {
    const DiagnosticSettings settings = DiagnosticSettings::parse(value, fallbackPath);
    std::string fault =
        settings.fault.empty() ? std::string() : settings.fault + "; the log is off";

    int fd = STDERR_FILENO;
    bool owned = false;
    if (settings.anyOn() && !settings.path.empty()) {
        fd = ::open(settings.path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd >= 0) {
            owned = true;
        } else {
            fault = "cannot open \"" + settings.path +
                    "\": " + std::system_category().message(errno) +
                    "; the lines go to standard error";
            fd = STDERR_FILENO;
        }
    }

    int previousFd;
    bool previousOwned;
    {
        std::lock_guard<std::mutex> lock(s_sinkMutex);
        previousFd = s_sinkFd;
        previousOwned = s_sinkOwned;
        s_sinkFd = fd;
        s_sinkOwned = owned;
    }
    if (previousOwned)
        ::close(previousFd);

    for (int i = 0; i < DiagnosticLog::CATEGORY_COUNT; ++i)
        thresholds[i].store(static_cast<int>(settings.levels[static_cast<std::size_t>(i)]),
                            std::memory_order_relaxed);
    environmentRead.store(true, std::memory_order_release);
    return fault;
}

}  // namespace

std::atomic<int> DiagnosticLog::s_thresholds[CATEGORY_COUNT] = {
    {UNREAD}, {UNREAD}, {UNREAD}, {UNREAD}};
std::atomic<bool> DiagnosticLog::s_environmentRead{false};

const char* DiagnosticLog::categoryName(Category category) {
    switch (category) {
        case Category::Device:
            return "device";
        case Category::Move:
            return "move";
        case Category::Driver:
            return "driver";
        case Category::Plugin:
            return "plugin";
    }
    return "?";
}

const char* DiagnosticLog::levelName(Level level) {
    switch (level) {
        case Level::Off:
            return "off";
        case Level::Error:
            return "error";
        case Level::Info:
            return "info";
        case Level::Debug:
            return "debug";
    }
    return "?";
}

std::string DiagnosticLog::configure(const std::string& value, const std::string& fallbackPath) {
    std::lock_guard<std::mutex> lock(s_configureMutex);
    return configureLocked(value, fallbackPath, s_thresholds, s_environmentRead);
}

void DiagnosticLog::configureFromEnvironment() noexcept {
    applyEnvironment(false);
}

void DiagnosticLog::readEnvironmentOnce() noexcept {
    if (!s_environmentRead.load(std::memory_order_acquire))
        applyEnvironment(true);
}

void DiagnosticLog::applyEnvironment(bool onlyIfUnread) noexcept {
    try {
        const char* value = std::getenv(ENVIRONMENT_VARIABLE);
        const char* file = std::getenv(FILE_VARIABLE);
        std::string fault;
        {
            std::lock_guard<std::mutex> lock(s_configureMutex);
            // A configuration made meanwhile (the first record of another
            // thread, a test's) stands.
            if (onlyIfUnread && s_environmentRead.load(std::memory_order_acquire))
                return;
            fault = configureLocked(value ? value : "", file ? file : "", s_thresholds,
                                    s_environmentRead);
        }
        if (!fault.empty()) {
            const std::string line = std::string("vorandel-turntable: ") + ENVIRONMENT_VARIABLE +
                                     "=\"" + (value ? value : "") + "\": " + fault + "\n";
            emit(line.data(), line.size());
        }
    } catch (...) {
        // Out of memory while reading two variables: the log stays as it was.
    }
}

void DiagnosticLog::write(Category category, Level level, const char* format, ...) noexcept {
    // A record never changes what the caller sees in errno.
    const int savedErrno = errno;
    readEnvironmentOnce();
    if (!enabled(category, level)) {
        errno = savedErrno;
        return;
    }

    char line[LINE_CAPACITY];
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const int head =
        std::snprintf(line, sizeof line, "vorandel-turntable %lld.%06ld tid %ld %s %s: ",
                      static_cast<long long>(now.tv_sec), now.tv_nsec / 1000,
                      static_cast<long>(::gettid()), categoryName(category), levelName(level));
    if (head < 0 || static_cast<std::size_t>(head) >= sizeof line - 2) {
        errno = savedErrno;
        return;
    }
    std::size_t length = static_cast<std::size_t>(head);

    va_list args;
    va_start(args, format);
    const int text = std::vsnprintf(line + length, sizeof line - length, format, args);
    va_end(args);
    if (text < 0) {
        errno = savedErrno;
        return;
    }
    const std::size_t textStart = length;
    length += static_cast<std::size_t>(text);
    // Room is kept for the newline; a cut text says so.
    if (length > sizeof line - 2) {
        length = sizeof line - 2;
        std::memcpy(line + length - 3, "...", 3);
    }
    // One record, one line, whatever the text holds.
    for (std::size_t i = textStart; i < length; ++i) {
        if (line[i] == '\n' || line[i] == '\r')
            line[i] = ' ';
    }
    line[length++] = '\n';
    emit(line, length);
    errno = savedErrno;
}

void DiagnosticLog::writeCurrentException(Category category, const char* where) noexcept {
    if (!enabled(category, Level::Error))
        return;
    try {
        throw;
    } catch (const std::exception& exception) {
        write(category, Level::Error, "%s threw: %s", where, exception.what());
    } catch (...) {
        write(category, Level::Error, "%s threw an exception that is no std::exception", where);
    }
}

void DiagnosticLog::emit(const char* line, std::size_t length) noexcept {
    try {
        std::lock_guard<std::mutex> lock(s_sinkMutex);
        while (length > 0) {
            const ssize_t written = ::write(s_sinkFd, line, length);
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            line += written;
            length -= static_cast<std::size_t>(written);
        }
    } catch (...) {
        // A lock that cannot be taken loses the line, never the caller's work.
    }
}
