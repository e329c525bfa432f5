#include "Table.h"

#include <pybind11/pybind11.h>

#include <chrono>
#include <cfloat>
#include <climits>
#include <cmath>
#include <iterator>

#include "InterruptibleWait.h"
#include "SpinPlan.h"
#include "TableChoice.h"
#include "TurntableErrors.h"

namespace py = pybind11;

namespace {

// A move's end the report of a stepped spin has not told: once the table has
// stood still this long without a report, the move never started.
constexpr double kNoStartGraceSeconds = 1.0;

// One listed chip as tables() shows it: its model is known only from an
// identity record read now.
TableInfo infoOf(const HxVorandelTurntableControl::AttachedTurntable& table,
                 const DevicesNamesList& catalogue) {
    TableInfo info;
    info.index = table.position;
    info.serial = table.serial;
    info.description = table.description;
    info.openable = table.openable;
    if (!table.openable) {
        info.problem = table.problem;
    }
    if (table.openable && table.catalogueRow >= 0 && size_t(table.catalogueRow) < catalogue.size()) {
        info.identified = true;
        info.row = size_t(table.catalogueRow);
        info.name = *std::next(catalogue.begin(), table.catalogueRow);
    }
    return info;
}

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void requireFinite(const char* what, double value) {
    if (!std::isfinite(value)) {
        throw py::value_error(std::string(what) + " must be a finite number");
    }
}

// Counts the plug-in prepares for a move to `angle` from the origin: the
// angle within one turn (a whole turn for a multiple of 360), rounded to
// counts with halves up, as the plug-in does.
long countsToAngle(double angle, unsigned countsPerRevolution) {
    double degrees = std::fmod(std::fabs(double(float(angle))), 360.0);
    if (degrees == 0.0) {
        degrees = 360.0;
    }
    return long(0.5 + degrees / (360.0 / countsPerRevolution));
}

py::value_error belowHalfACount() {
    return py::value_error("the angle is less than half a count of this turntable");
}

}  // namespace

std::vector<TableInfo> Table::tables(const std::optional<std::string>& d2xx) {
    const std::shared_ptr<ModuleHost> host = ModuleHost::get(d2xx);
    std::vector<HxVorandelTurntableControl::AttachedTurntable> attached;
    DevicesNamesList catalogue;
    {
        py::gil_scoped_release release;
        attached = host->plugin().attachedTurntables();
        catalogue = host->plugin().catalogueNames();
    }
    std::vector<TableInfo> found;
    for (const HxVorandelTurntableControl::AttachedTurntable& table : attached) {
        found.push_back(infoOf(table, catalogue));
        TableInfo& info = found.back();
        if (host->tableClaimed() && info.serial == host->openTableInfo().serial) {
            // Its identity record cannot be read while this process holds
            // it: what was read when it was opened still holds.
            const TableInfo& open = host->openTableInfo();
            info.name = open.name;
            info.row = open.row;
            info.identified = open.identified;
        }
    }
    return found;
}

std::vector<std::string> Table::catalogue(const std::optional<std::string>& d2xx) {
    const DevicesNamesList names = ModuleHost::get(d2xx)->plugin().catalogueNames();
    return std::vector<std::string>(names.begin(), names.end());
}

Table::Table(std::optional<size_t> modelRow, std::optional<size_t> index,
             const std::optional<std::string>& serial, const std::optional<std::string>& d2xx)
    : m_host(ModuleHost::get(d2xx)) {
    if (m_host->tableClaimed()) {
        throw TurntableError("a table is already open in this process: close it first");
    }
    const TableChoice choice = [&] {
        py::gil_scoped_release release;
        return TableChoice::choose(m_host->plugin().attachedTurntables(), index, serial);
    }();
    switch (choice.outcome()) {
        case TableChoice::Outcome::NoneAttached: {
            HostSession::Discovery discovery;
            {
                py::gil_scoped_release release;
                discovery = m_host->session().discover();  // for the plug-in's own text
            }
            throw NoTableError(discovery.error.empty() ? "no turntable found" : discovery.error);
        }
        case TableChoice::Outcome::NoSuchPosition:
            throw NoTableError("there is no table at index " + std::to_string(*index) + ": " +
                               std::to_string(choice.tables().size()) +
                               " attached, indexes from 0");
        case TableChoice::Outcome::NoSuchSerial: {
            std::string serials;
            for (const TableChoice::Attached& table : choice.tables()) {
                serials += (serials.empty() ? "" : ", ") + table.serial;
            }
            throw NoTableError("no attached table has serial '" + *serial + "' (attached: " +
                               serials + ")");
        }
        case TableChoice::Outcome::NotOpenable:
            throw OpenError("cannot open the table at index " +
                            std::to_string(choice.table().position) + " (serial " +
                            choice.table().serial + "): " + choice.table().problem);
        case TableChoice::Outcome::Chosen:
            break;
    }
    const std::vector<std::string> names = catalogue(d2xx);
    HostSession::Discovery discovery;
    {
        py::gil_scoped_release release;
        discovery = m_host->session().discoverAt(choice.table().position);
    }
    if (!discovery.found()) {
        // Unplugged or taken since the listing.
        throw OpenError("cannot open the table at index " +
                        std::to_string(choice.table().position) + ": " +
                        (discovery.error.empty() ? "the plug-in gave no reason" : discovery.error));
    }
    m_info = infoOf(choice.table(), DevicesNamesList(names.begin(), names.end()));
    size_t openRow = 0;
    if (!modelRow) {
        if (!discovery.identified()) {
            throw OpenError(
                "the table carries no identity record: name its model with model= (a catalogue "
                "row or name)");
        }
        m_name = discovery.names.front();
        m_modelRow = m_info.row.value_or(0);
    } else {
        if (*modelRow >= names.size()) {
            throw py::value_error("model " + std::to_string(*modelRow) +
                                  " is not a model row: the catalogue has rows 0 to " +
                                  std::to_string(names.size() - 1));
        }
        openRow = *modelRow;
        // Row 0 of a one-name list opens the identified model.
        const bool identifiedModel = discovery.identified() && openRow == 0;
        m_name = identifiedModel ? discovery.names.front() : names[openRow];
        m_modelRow = identifiedModel ? m_info.row.value_or(0) : openRow;
    }

    std::string error;
    bool opened = false;
    {
        py::gil_scoped_release release;
        opened = m_host->session().open(openRow, &error);
    }
    if (!opened) {
        throw OpenError("cannot open " + m_name + ": " +
                        (error.empty() ? "the plug-in gave no reason" : error));
    }
    m_host->claimTable(m_info);
    m_open = true;
}

Table::~Table() {
    try {
        close();
    } catch (...) {
        // A destructor has nowhere to report to; close() itself reports nothing.
    }
}

void Table::close() {
    if (!m_open) {
        return;
    }
    if (m_spinning) {
        spinEnd(false);
    }
    ++m_stops;
    {
        py::gil_scoped_release release;
        m_host->session().close();  // stops a move still under way first
    }
    m_open = false;
    m_moveUnderWay = false;
    m_host->releaseTable();
}

void Table::requireOpen() const {
    if (!m_open) {
        throw TurntableError("the table is closed");
    }
}

void Table::requireCounterclockwise() const {
    if (!m_host->session().canMoveCounterclockwise()) {
        throw MoveRefusedError(m_name + " turns clockwise only");
    }
}

void Table::requireCounts() {
    if (countsPerRevolution() == 0) {
        throw TurntableError(m_name +
                             " has no preset counts per revolution: set counts_per_revolution");
    }
}

bool Table::canTurnCounterclockwise() const {
    requireOpen();
    return m_host->session().canMoveCounterclockwise();
}

unsigned Table::countsPerRevolution() {
    requireOpen();
    return m_host->plugin().hardware().stepsPerRevolution();
}

void Table::setCountsPerRevolution(unsigned counts) {
    requireOpen();
    if (counts == 0) {
        throw py::value_error("counts_per_revolution must be at least 1");
    }
    m_host->plugin().SetCountsPerRevolution(counts);
}

unsigned Table::speed() {
    requireOpen();
    return m_host->plugin().rotationSpeed();
}

void Table::setSpeed(unsigned milliseconds) {
    requireOpen();
    m_host->plugin().SetRotationSpeed(milliseconds);
}

bool Table::moving() {
    requireOpen();
    return m_host->plugin().IsTurntableRotating();
}

void Table::rotate(std::optional<double> degrees, std::optional<long long> counts,
                   std::optional<double> to, bool continuous, bool wait,
                   std::optional<double> timeout) {
    requireOpen();
    const int forms = int(degrees.has_value()) + int(counts.has_value()) + int(to.has_value()) +
                      int(continuous);
    if (forms != 1) {
        throw py::value_error("rotate takes exactly one of degrees=, counts=, to= and continuous=True");
    }
    if (timeout && !(*timeout > 0)) {
        throw py::value_error("timeout must be a positive number of seconds");
    }
    if (m_spinning) {
        throw MoveRefusedError("a spin is under way: leave its loop first");
    }
    TurntablePlugin& plugin = m_host->plugin();
    if (plugin.IsTurntableRotating()) {
        throw MoveRefusedError("a move is under way: stop() it or wait() for it first");
    }
    // The move before ended on its own: its port work ends before this one starts.
    if (m_moveUnderWay) {
        finishMove();
    }

    if (to) {
        requireFinite("to", *to);
        if (std::fabs(*to) > FLT_MAX) {
            throw py::value_error("to takes angles of at most 3.4e38 degrees either way");
        }
        if (std::fabs(*to) <= 0.01) {
            return;  // the plug-in's origin: no move
        }
        if (*to < 0) {
            requireCounterclockwise();
        }
        requireCounts();
        if (countsToAngle(*to, countsPerRevolution()) == 0) {
            throw belowHalfACount();
        }
        {
            py::gil_scoped_release release;
            plugin.hardware().rotateDeviceToAngle(float(*to));
        }
    } else {
        if (counts) {
            if (*counts == 0) {
                throw py::value_error("counts=0 is no move; continuous=True turns until stopped");
            }
            if (*counts < INT_MIN + 1 || *counts > INT_MAX) {
                throw py::value_error("counts must lie within one 32-bit move");
            }
        }
        if (degrees) {
            requireFinite("degrees", *degrees);
        }
        const bool counterclockwise = (counts && *counts < 0) || (degrees && *degrees < 0);
        if (counterclockwise) {
            requireCounterclockwise();
        }
        if (!continuous) {
            requireCounts();
        }
        // A negative amount flips the direction set here (the plug-in's rule).
        plugin.SetRotationClockwise();
        if (counts) {
            plugin.SetRotationIncrementInCounts(int(*counts));
        } else if (degrees) {
            if (std::fabs(*degrees) / 360.0 * countsPerRevolution() >= double(INT_MAX)) {
                throw py::value_error("the angle is too large for one move");
            }
            if (plugin.SetRotationIncrementInDegrees(*degrees) == 0.0) {
                throw belowHalfACount();
            }
        } else {
            plugin.SetRotationIncrementInCounts(0);  // 0 counts: turn until stopped
        }
        bool started = false;
        {
            py::gil_scoped_release release;
            started = plugin.startRotation();
        }
        if (!started) {
            const std::string why = plugin.lastError();
            throw MoveRefusedError("the turntable did not start turning" +
                                   (why.empty() ? std::string() : ": " + why));
        }
    }
    m_moveUnderWay = true;
    if (!wait) {
        return;
    }

    const unsigned stopsBefore = m_stops;
    HostSession::Wait end;
    try {
        end = InterruptibleWait::run(
            [&](const InterruptibleWait::Tick& tick) {
                return m_host->session().waitWhileRotating(timeout.value_or(0), tick);
            },
            [&] { plugin.stopRotation(); });
    } catch (...) {
        m_moveUnderWay = false;
        throw;
    }
    if (m_stops != stopsBefore) {
        return;  // another thread stopped it midway
    }
    if (end == HostSession::Wait::TimeUp) {
        stopMidway();
        if (!continuous) {
            throw MoveTimeout("the move did not end within " + std::to_string(*timeout) +
                              " s: the turntable stopped");
        }
        return;
    }
    finishMove();
    requireNotFailed();
}

void Table::finishMove() {
    {
        py::gil_scoped_release release;
        m_host->plugin().stopRotation();  // the ended move's port work
    }
    m_moveUnderWay = false;
}

void Table::requireNotFailed() {
    if (m_host->plugin().lastMoveOutcome() != HxVorandelTurntableControl::MoveFailed) {
        return;
    }
    const std::string why = m_host->plugin().lastError();
    throw MoveFailedError("the move failed: the turntable did not respond" +
                          (why.empty() ? std::string() : " (" + why + ")"));
}

double Table::position() const {
    requireOpen();
    return m_host->plugin().globalPositionInDegrees();
}

int Table::lastMoveOutcome() const {
    requireOpen();
    return int(m_host->plugin().lastMoveOutcome());
}

void Table::stopMidway() {
    ++m_stops;
    {
        py::gil_scoped_release release;
        m_host->plugin().stopRotation();
    }
    m_moveUnderWay = false;
}

bool Table::wait(std::optional<double> timeout) {
    requireOpen();
    if (timeout && !(*timeout >= 0)) {
        throw py::value_error("timeout must not be negative");
    }
    if (!m_moveUnderWay) {
        return !m_host->plugin().IsTurntableRotating();
    }
    const unsigned stopsBefore = m_stops;
    HostSession::Wait end;
    try {
        end = InterruptibleWait::run(
            [&](const InterruptibleWait::Tick& tick) {
                // 0 is "no limit" to the session.
                return m_host->session().waitWhileRotating(
                    timeout ? std::max(*timeout, 1e-6) : 0.0, tick);
            },
            [&] { m_host->plugin().stopRotation(); });
    } catch (...) {
        m_moveUnderWay = false;
        throw;
    }
    if (m_stops != stopsBefore) {
        return true;  // another thread stopped it
    }
    if (end == HostSession::Wait::TimeUp) {
        return false;
    }
    finishMove();
    requireNotFailed();
    return true;
}

void Table::stop() {
    requireOpen();
    if (m_host->plugin().IsTurntableRotating()) {
        stopMidway();
    } else if (m_moveUnderWay) {
        finishMove();
    }
}

void Table::setOrigin() {
    requireOpen();
    if (m_host->plugin().IsTurntableRotating() || m_spinning) {
        throw MoveRefusedError("the origin is set while the table stands");
    }
    TurntablePlugin& plugin = m_host->plugin();
    const bool lock = plugin.isLockMotorWhenIdle();
    plugin.spinningWillStart();  // origin here, motor locked
    plugin.SetLockMotorWhenIdle(lock, true);
}

void Table::shutter() {
    requireOpen();
    if (m_moveUnderWay && !m_host->plugin().IsTurntableRotating()) {
        finishMove();
    }
    bool released = false;
    {
        py::gil_scoped_release release;
        released = m_host->plugin().shutterReleaseCameraHardware();
    }
    if (released) {
        return;
    }
    if (m_host->plugin().IsTurntableRotating()) {
        throw MoveRefusedError("the shutter is not released while the table turns");
    }
    if (!m_host->session().canMoveCounterclockwise()) {
        throw MoveRefusedError(m_name + " has no camera lines: the shutter cannot be released");
    }
    const std::string why = m_host->plugin().lastError();
    throw MoveRefusedError("the shutter was not released" + (why.empty() ? "" : ": " + why));
}

std::vector<std::tuple<unsigned, double, double, long>> Table::spinPlan(unsigned shots,
                                                                        unsigned fromShot,
                                                                        unsigned tableAt,
                                                                        bool counterclockwise) {
    requireOpen();
    if (shots == 0) {
        throw py::value_error("shots must be at least 1");
    }
    // The plug-in takes angles within 0.01 degrees of the origin as no move.
    if (360.0 / shots <= 0.02) {
        throw py::value_error("steps of 0.02 degrees or less are too fine");
    }
    if (fromShot < 1 || fromShot > shots) {
        throw py::value_error("from_shot " + std::to_string(fromShot) + ": the plan has shots 1 to " +
                              std::to_string(shots));
    }
    // Moves go one way only: a table beyond the first shot would have to turn back.
    if (tableAt > fromShot) {
        throw py::value_error("table_at cannot lie beyond from_shot");
    }
    requireCounts();
    const unsigned counts = countsPerRevolution();
    if (shots > counts) {
        throw py::value_error("a step of " + std::to_string(360.0 / shots) +
                              " degrees is less than one count of this turntable (" +
                              std::to_string(counts) + " counts a turn)");
    }
    if (counterclockwise) {
        requireCounterclockwise();
    }
    const SpinPlan plan({shots, fromShot, tableAt, counts, counterclockwise});
    std::vector<std::tuple<unsigned, double, double, long>> steps;
    for (const SpinPlan::Shot& shot : plan.shots()) {
        steps.emplace_back(shot.number, shot.angle, double(shot.target), shot.counts);
    }
    return steps;
}

void Table::spinBegin() {
    requireOpen();
    if (m_spinning) {
        throw MoveRefusedError("a spin is under way: leave its loop first");
    }
    if (m_host->plugin().IsTurntableRotating()) {
        throw MoveRefusedError("a move is under way: stop() it or wait() for it first");
    }
    if (m_moveUnderWay) {
        finishMove();
    }
    TurntablePlugin& plugin = m_host->plugin();
    m_lockBeforeSpin = plugin.isLockMotorWhenIdle();
    plugin.hardware().stepsSpinningWillStart();
    plugin.spinningWillStart();  // origin here; the motor holds between shots
    m_spinning = true;
}

unsigned Table::spinStartMove(double target) {
    requireOpen();
    const unsigned seen = m_host->session().stopReports();
    {
        py::gil_scoped_release release;
        m_host->plugin().hardware().rotateDeviceToAngle(float(target));
    }
    m_spinStartedAt = steadySeconds();
    return seen;
}

bool Table::spinMoveEnded(unsigned seen) {
    requireOpen();
    if (m_host->session().stopReports() > seen) {
        requireNotFailed();
        return true;
    }
    if (m_host->plugin().IsTurntableRotating()) {
        m_spinStartedAt = steadySeconds();
        return false;
    }
    if (steadySeconds() - m_spinStartedAt > kNoStartGraceSeconds) {
        {
            py::gil_scoped_release release;
            m_host->plugin().hardware().stopAngleRotation();
        }
        throw TurntableError("the turntable did not turn towards the next shot");
    }
    return false;
}

void Table::spinMove(double target) {
    const unsigned seen = spinStartMove(target);
    HostSession::Wait end;
    end = InterruptibleWait::run(
        [&](const InterruptibleWait::Tick& tick) {
            return m_host->session().waitForStopReport(seen, tick);
        },
        [&] { m_host->plugin().hardware().stopAngleRotation(); });
    if (end != HostSession::Wait::Stopped) {
        {
            py::gil_scoped_release release;
            m_host->plugin().hardware().stopAngleRotation();
        }
        throw TurntableError("the turntable did not turn towards the next shot");
    }
    requireNotFailed();
}

void Table::spinEnd(bool completed) {
    if (!m_spinning || !m_open) {
        m_spinning = false;
        return;
    }
    m_spinning = false;
    TurntablePlugin& plugin = m_host->plugin();
    {
        py::gil_scoped_release release;
        if (completed) {
            // Prepares, without starting, the way back to the origin.
            plugin.hardware().stepsSpinningWillStop();
        } else {
            plugin.hardware().stopAngleRotation();
        }
    }
    plugin.SetLockMotorWhenIdle(m_lockBeforeSpin, true);
}
