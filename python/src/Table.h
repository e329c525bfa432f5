#ifndef VORANDEL_PY_TABLE_H
#define VORANDEL_PY_TABLE_H

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "ModuleHost.h"
#include "TableInfo.h"

/// An open turntable as the Python module's `Table`. Every member is called
/// with the GIL held, which serialises them; each releases it while the
/// plug-in works. The position is the host's bookkeeping: degrees from the
/// origin (where the table stood when opened, or when a spin or set_origin()
/// began), from the moves that ran to their end; unknown once a move was
/// stopped midway.
class Table {
public:
    /// Discovery through the host's view; the open table's entry while one is open.
    static std::vector<TableInfo> tables(const std::optional<std::string>& d2xx);

    /// Opens table `index` of discovery as catalogue row `modelRow` (none: the
    /// identified model).
    Table(std::optional<size_t> modelRow, size_t index, const std::optional<std::string>& d2xx);
    /// Closes the table if the caller has not.
    ~Table();

    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    /// The catalogue's names in row order.
    static std::vector<std::string> catalogue(const std::optional<std::string>& d2xx);

    void close();
    bool closed() const { return !m_open; }
    const TableInfo& info() const { return m_info; }
    const std::string& name() const { return m_name; }
    size_t modelRow() const { return m_modelRow; }
    bool canTurnCounterclockwise() const;
    std::string d2xxName() const { return m_host->d2xxName(); }

    unsigned countsPerRevolution();
    void setCountsPerRevolution(unsigned counts);
    unsigned speed();
    void setSpeed(unsigned milliseconds);
    std::optional<double> position() const { return m_position; }
    bool moving();

    /// Starts one move; with `wait` waits for its end (`timeout` seconds at
    /// most; for a continuous move the time it turns).
    void rotate(std::optional<double> degrees, std::optional<long long> counts,
                std::optional<double> to, bool continuous, bool wait,
                std::optional<double> timeout);
    /// Waits for the move under way to end; false when `timeout` ran out first.
    bool wait(std::optional<double> timeout);
    void stop();
    void setOrigin();
    void shutter();

    /// The plan of a stepped spin: (number, angle, target, counts) a shot.
    std::vector<std::tuple<unsigned, double, double, long>> spinPlan(unsigned shots,
                                                                     unsigned fromShot,
                                                                     unsigned tableAt,
                                                                     bool counterclockwise);
    void spinBegin();
    /// Starts the move to a shot of the spin; returns the stop reports seen before it.
    unsigned spinStartMove(double target);
    /// Whether the move started after `seen` reports has ended; throws when it never turned.
    bool spinMoveEnded(unsigned seen);
    /// Blocking: starts the move to `target` and waits for its report.
    void spinMove(double target);
    void spinEnd(bool completed);

private:
    void requireOpen() const;
    void requireCounterclockwise() const;
    void requireCounts();
    void startCounted(bool clockwise);
    /// After a move's end: waits for the worker's port work, books the move.
    void finishMove();
    void stopMidway();

    std::shared_ptr<ModuleHost> m_host;
    TableInfo m_info;
    std::string m_name;
    size_t m_modelRow = 0;
    bool m_open = false;
    std::optional<double> m_position = 0.0;
    /// Where the move under way ends, when it has an end.
    std::optional<double> m_pendingPosition;
    bool m_moveUnderWay = false;
    /// Stops asked so far: a wait that sees it change ended by a stop of
    /// another thread, not at the move's end.
    unsigned m_stops = 0;
    bool m_spinning = false;
    bool m_lockBeforeSpin = false;
    double m_spinStartedAt = 0;  // seconds on the steady clock, for a move that never starts
};

#endif  // VORANDEL_PY_TABLE_H
