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
/// plug-in works. Where the table stands and how its last move ended are the
/// plug-in's own bookkeeping.
class Table {
public:
    /// Every attached turntable, also those that cannot be opened; the one
    /// this process holds with the model read when it was opened.
    static std::vector<TableInfo> tables(const std::optional<std::string>& d2xx);

    /// Opens the table at `index` of tables(), or the one with `serial`, or
    /// by default the first identified one (else the first that opens), as
    /// catalogue row `modelRow` (none: the identified model).
    Table(std::optional<size_t> modelRow, std::optional<size_t> index,
          const std::optional<std::string>& serial, const std::optional<std::string>& d2xx);
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
    /// Degrees from the origin, clockwise positive, between -360 and 360,
    /// where the last move ended (stopped or not).
    double position() const;
    /// The plug-in's MoveOutcome of the last move, as a number.
    int lastMoveOutcome() const;
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
    /// Throws MoveFailedError when the move that ended last failed.
    void requireNotFailed();
    void stopMidway();

    std::shared_ptr<ModuleHost> m_host;
    TableInfo m_info;
    std::string m_name;
    size_t m_modelRow = 0;
    bool m_open = false;
    bool m_moveUnderWay = false;
    /// Stops asked so far: a wait that sees it change ended by a stop of
    /// another thread, not at the move's end.
    unsigned m_stops = 0;
    bool m_spinning = false;
    bool m_lockBeforeSpin = false;
    double m_spinStartedAt = 0;  // seconds on the steady clock, for a move that never starts
};

#endif  // VORANDEL_PY_TABLE_H
