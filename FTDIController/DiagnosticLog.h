#ifndef DIAGNOSTIC_LOG_H
#define DIAGNOSTIC_LOG_H

#include <atomic>
#include <climits>
#include <cstddef>
#include <string>

/// The plug-in's own trace, off by default: what the host API cannot return
/// (a failed D2XX call, an exception that had to be swallowed, a refused
/// operation, the start and end of each move) still leaves a line that a user
/// can send in.
///
/// Switched on by the environment, read once, at the first record:
///
///   VORANDEL_TURNTABLE_LOG      = setting *( "," setting ) [ ":" path ]
///   setting                     = level | category "=" level
///   level                       = "off" | "error" | "info" | "debug"
///   category                    = "device" | "move" | "driver" | "plugin"
///   VORANDEL_TURNTABLE_LOG_FILE = path   (used when the value names none)
///
/// Words ignore case and surrounding spaces. A bare level applies to every
/// category, `category=level` to one; later settings win. A category writes
/// the records of its level and the more severe ones (error < info < debug).
/// Unset or empty: off. Without a path the lines go to standard error; a file
/// is appended to, and one that cannot be opened leaves the lines on standard
/// error. A malformed value (a file named without a level among them) keeps
/// the whole log off and says why in one line on standard error, once.
///
/// One line per record, written with a single write(2):
///   vorandel-turntable <CLOCK_MONOTONIC s.us> tid <thread> <category> <level>: <text>
///
/// Cost while a record's category is below its level: one relaxed atomic load
/// and a branch (enabled), nothing formatted, allocated, locked or called.
///
/// Threads: every function may be called from any thread.
class DiagnosticLog {
public:
    enum class Level : int { Off = 0, Error = 1, Info = 2, Debug = 3 };
    /// One per layer: the D2XX device layer, the move state machine, the
    /// motor drivers, the host-facing plug-in class.
    enum class Category : int { Device = 0, Move = 1, Driver = 2, Plugin = 3 };
    static constexpr int CATEGORY_COUNT = 4;

    /// Whether a record would be written. Before the environment has been
    /// read every category passes, so that the first record reads it.
    static bool enabled(Category category, Level level) {
        return static_cast<int>(level) <=
               s_thresholds[static_cast<int>(category)].load(std::memory_order_relaxed);
    }

    /// Writes one record, printf-style; a text beyond one line's room is cut
    /// and ends in "...". Call through TT_LOG, which checks enabled first.
    static void write(Category category, Level level, const char* format, ...) noexcept
        __attribute__((format(printf, 3, 4)));

    /// Inside a catch handler only: records, at error level, that `where`
    /// threw the exception being handled, with its what() when it is a
    /// std::exception.
    static void writeCurrentException(Category category, const char* where) noexcept;

    /// Sets the log as the environment value `value` would, with
    /// `fallbackPath` standing for VORANDEL_TURNTABLE_LOG_FILE, and marks the
    /// environment as read. Returns what was wrong (a malformed value: the log
    /// is off; a file that cannot be opened: standard error is used), empty
    /// when nothing was. For tests and for configureFromEnvironment.
    static std::string configure(const std::string& value, const std::string& fallbackPath = "");

    /// Reads the two variables now, as the first record would, and reports a
    /// fault on standard error.
    static void configureFromEnvironment() noexcept;

    static const char* categoryName(Category category);
    static const char* levelName(Level level);

private:
    /// Above every level: the environment has not been read yet.
    static constexpr int UNREAD = INT_MAX;
    static std::atomic<int> s_thresholds[CATEGORY_COUNT];
    static std::atomic<bool> s_environmentRead;

    static void readEnvironmentOnce() noexcept;
    static void applyEnvironment(bool onlyIfUnread) noexcept;
    static void emit(const char* line, std::size_t length) noexcept;
};

/// One record, formatted only when its category is at that level:
///   TT_LOG(Move, Info, "move started: %u counts", counts);
#define TT_LOG(category, level, ...)                                                            \
    (DiagnosticLog::enabled(DiagnosticLog::Category::category, DiagnosticLog::Level::level)     \
         ? DiagnosticLog::write(DiagnosticLog::Category::category, DiagnosticLog::Level::level, \
                                __VA_ARGS__)                                                    \
         : void())

/// A refused operation, at info level; the expression is false, so that a
/// refusal reads `return TT_LOG_REFUSAL(Move, "start refused: ...");`.
#define TT_LOG_REFUSAL(category, ...) (TT_LOG(category, Info, __VA_ARGS__), false)

#endif  // DIAGNOSTIC_LOG_H
