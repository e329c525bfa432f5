// What a photographer, a host developer or a user with several tables meets,
// end to end through turntablectl on the simulated bench, one case per theme:
// interrupted sessions, several tables, refused input, and the messages.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ToolRun.h"

namespace {

std::vector<nlohmann::json> events(const ToolRun& run) {
    std::vector<nlohmann::json> all;
    std::istringstream in(run.out);
    for (std::string line; std::getline(in, line);) {
        all.push_back(nlohmann::json::parse(line));  // throws on anything but JSON
    }
    return all;
}

std::string lineAfter(const std::string& text, const std::string& tag) {
    const size_t at = text.find(tag);
    if (at == std::string::npos) {
        return "";
    }
    return text.substr(at + tag.size(), text.find('\n', at) - at - tag.size());
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The simulated tables every host of this process sees, for one scope.
class SimulatedTables {
public:
    explicit SimulatedTables(const char* list) { setenv("FTSIM_DEVICES", list, 1); }
    ~SimulatedTables() { unsetenv("FTSIM_DEVICES"); }
};

TEST(PhotographerCases, InterruptedSessionsRestAtAShotAndResumeWhereTheyStopped) {
    // Ctrl-C while the shutter fires at shot 1: that shot is taken, no move
    // follows, and the stopped event carries the resting shot and the
    // command that takes the rest.
    const ToolRun shutter = ToolRun::turntablectlInterrupted(
        {"--sim-counts", "400", "spin", "--shots", "2", "--settle", "0", "--shutter", "--json"},
        "\"moved\"");
    ASSERT_EQ(shutter.exitCode, 130) << shutter.describe();
    const std::vector<nlohmann::json> stopped = events(shutter);
    ASSERT_FALSE(stopped.empty());
    const nlohmann::json& last = stopped.back();
    EXPECT_EQ(last["event"], "stopped") << shutter.out;
    EXPECT_EQ(last["reason"], "interrupted");
    EXPECT_EQ(last["shotsTaken"], 1);
    EXPECT_EQ(last["restingShot"], 1);
    EXPECT_EQ(last["restingAngle"], 180.0);
    EXPECT_EQ(last["restingCounts"], 200);
    const std::string resume = last["resume"].get<std::string>();
    EXPECT_TRUE(has(resume, "--from 2 --table-at 1")) << resume;
    EXPECT_TRUE(has(shutter.err,
                    "simulated board: position 200 steps, 200 pulses, 0 lost, "
                    "1 shutter releases"))
        << shutter.err;
    // The person's lines go to standard error, the position and the resume too.
    EXPECT_EQ(lineAfter(shutter.err, "Resume with: "), resume);
    EXPECT_TRUE(has(shutter.err, "rests at shot 1 (180.00 deg from the start, 200 counts)"));

    // The resumed session ends where an unbroken one would: the other half
    // turn and the other shot.
    const ToolRun resumed = ToolRun::program({"sh", "-c", resume});
    ASSERT_EQ(resumed.exitCode, 0) << resumed.describe();
    EXPECT_EQ(events(resumed).back()["event"], "done");
    EXPECT_TRUE(has(resumed.err,
                    "simulated board: position 200 steps, 200 pulses, 0 lost, "
                    "1 shutter releases"))
        << resumed.err;

    // Ctrl-C during a move: the move reaches its shot, nothing turns after.
    // The first move begins just after the "Spinning" line and lasts a
    // second or more (1000 counts, a 1 ms gap each): a signal 200 ms after
    // the line comes while it runs.
    const ToolRun moving = ToolRun::turntablectlInterrupted(
        {"--sim-counts", "4000", "spin", "--shots", "4", "--settle", "0"}, "Spinning", 1,
        std::chrono::milliseconds(20), std::chrono::milliseconds(200));
    ASSERT_EQ(moving.exitCode, 130) << moving.describe();
    EXPECT_EQ(moving.board().pulses, 1000u);
    EXPECT_TRUE(has(moving.err, "ends its move at shot 1")) << moving.err;
    EXPECT_TRUE(has(lineAfter(moving.err, "Resume with: "), "--from 1 --table-at 1")) << moving.err;

    // Pressed again later: the table stops at once, between two shots, and
    // no resume is offered for a position nobody knows.
    const ToolRun twice = ToolRun::turntablectlInterrupted(
        {"--sim-counts", "4000", "--speed", "4", "spin", "--shots", "2", "--settle", "0"},
        "Spinning", 2, std::chrono::milliseconds(1300), std::chrono::milliseconds(200));
    ASSERT_EQ(twice.exitCode, 130) << twice.describe();
    EXPECT_LT(twice.board().pulses, 2000u);
    EXPECT_GT(twice.board().pulses, 0u);
    EXPECT_TRUE(has(twice.err, "rests between the start and shot 1")) << twice.err;
    EXPECT_FALSE(has(twice.err, "Resume with")) << twice.err;

    // A pulse of 100 s does not hold Ctrl-C back.
    const ToolRun longPulse = ToolRun::turntablectlInterrupted(
        {"--speed", "100000", "rotate", "--counts", "3"}, "Rotating");
    EXPECT_EQ(longPulse.exitCode, 130) << longPulse.describe();
    EXPECT_LT(longPulse.interruptToExit.count(), 20000);
    EXPECT_EQ(longPulse.board().pulses, 1u);
}

TEST(PhotographerCases, SeveralTablesAreListedAndTheOneChosenIsTheOneThatTurns) {
    {
        // The first table cannot be opened; the second is an Amber Large.
        SimulatedTables tables("3,fail-open=3;7");
        const ToolRun list = ToolRun::turntablectl({"list"});
        ASSERT_EQ(list.exitCode, 0) << list.describe();
        ASSERT_EQ(list.outLinesWith("cannot be opened").size(), 1u) << list.out;
        EXPECT_TRUE(has(list.outLinesWith("cannot be opened")[0], "  0  "));
        ASSERT_EQ(list.outLinesWith("Vorandel Amber Large (row 7, identified)").size(), 1u)
            << list.out;
        EXPECT_FALSE(has(list.out, "without an identity record"));

        // Its own counts a turn, and the board that counts them is its own.
        const ToolRun quarter = ToolRun::turntablectl({"rotate", "--degrees", "90"});
        ASSERT_EQ(quarter.exitCode, 0) << quarter.describe();
        EXPECT_TRUE(has(quarter.out, "Vorandel Amber Large clockwise by 90.0000 deg (2055 counts)"))
            << quarter.out;
        EXPECT_EQ(quarter.board().position, 2055);

        const ToolRun first = ToolRun::turntablectl({"--table", "0", "info"});
        EXPECT_EQ(first.exitCode, 4) << first.describe();
        EXPECT_TRUE(has(first.err, "cannot open the turntable at position 0")) << first.err;
        EXPECT_FALSE(has(first.err, "Expert use")) << first.err;

        const nlohmann::json json =
            nlohmann::json::parse(ToolRun::turntablectl({"list", "--json"}).out);
        ASSERT_EQ(json["tables"].size(), 2u);
        EXPECT_FALSE(json["tables"][0]["openable"].get<bool>());
        EXPECT_EQ(json["tables"][1]["row"], 7);
        const std::string serial = json["tables"][1]["serial"].get<std::string>();
        const ToolRun bySerial = ToolRun::turntablectl({"--serial", serial, "info", "--json"});
        ASSERT_EQ(bySerial.exitCode, 0) << bySerial.describe();
        EXPECT_EQ(nlohmann::json::parse(bySerial.out)["position"], 1);
    }
    {
        // Two good tables: the first by default, the other by position.
        SimulatedTables tables("3;7");
        EXPECT_TRUE(has(ToolRun::turntablectl({"info"}).out, "Vorandel Cobalt Medium"));
        const ToolRun second = ToolRun::turntablectl({"--table", "1", "rotate", "--degrees", "90"});
        ASSERT_EQ(second.exitCode, 0) << second.describe();
        EXPECT_EQ(second.board().position, 2055);
        EXPECT_EQ(ToolRun::turntablectl({"--table", "2", "info"}).exitCode, 3);
        EXPECT_EQ(ToolRun::turntablectl({"--serial", "nobody", "info"}).exitCode, 3);
    }
    {
        // One table that cannot be opened is not offered for a new record.
        SimulatedTables tables("3,fail-open=3");
        const ToolRun list = ToolRun::turntablectl({"list"});
        EXPECT_EQ(list.exitCode, 4) << list.describe();
        EXPECT_FALSE(has(list.out + list.err, "without an identity record")) << list.describe();
        EXPECT_TRUE(has(list.err, "FT_DEVICE_NOT_OPENED")) << list.err;
    }
}

TEST(PhotographerCases, BadValuesAreRefusedBeforeAnythingTurnsNamingTheOption) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    } cases[] = {
        {{"rotate", "--continuous", "--for", "-1"}, 2, "--for: -1 is not allowed"},
        {{"rotate", "--continuous", "--for", "0"}, 2, "--for: 0 is not allowed"},
        {{"rotate", "--to", "450"}, 2, "--to 450: give an angle from -360 to 360 degrees"},
        {{"rotate", "--to", "-720"}, 2, "--to -720: give an angle from -360 to 360 degrees"},
        {{"--sim-model", "1", "spin", "--shots", "4", "--shutter", "--dry-run"},
         1,
         "Vorandel Classic has no camera lines"},
        {{"--sim-model", "1", "spin", "--shots", "4", "--shutter"},
         1,
         "Vorandel Classic has no camera lines"},
        {{"spin", "--step", "1e-300", "--dry-run"},
         2,
         "--step 1e-300: steps of 0.02 degrees or less are too fine"},
        {{"spin", "--shots", "4", "--on-shot", ""}, 2, "--on-shot: an empty value is not allowed"},
        {{"--trace", "", "rotate", "--counts", "3"}, 2, "--trace: an empty value is not allowed"},
        {{"--sim-none", "--sim-model", "4", "list"}, 2, "--sim-model excludes --sim-none"},
        {{"--sim-model", "1", "--sim-counts", "100", "list"},
         2,
         "--sim-counts applies to stepper tables"},
        {{"identity", "write", "5"},
         2,
         "already carries an identity record (row 3, Vorandel Cobalt Medium); add --force"},
    };
    for (const auto& c : cases) {
        const ToolRun run = ToolRun::turntablectl(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.describe();
        EXPECT_TRUE(has(run.err, c.message)) << run.err;
        EXPECT_EQ(run.board().pulses, 0u) << run.describe();
        EXPECT_TRUE(run.outLinesWith("Rotating").empty() && run.outLinesWith("Spinning").empty())
            << run.out;
    }
    // The record is replaced when asked for.
    EXPECT_EQ(ToolRun::turntablectl({"identity", "write", "5", "--force"}).exitCode, 0);

    // Values the environment carries, as unforgiving as options.
    setenv("VORANDEL_TURNTABLE_REALTIME", "garbage", 1);
    const ToolRun realtime = ToolRun::turntablectl({"rotate", "--counts", "3"});
    unsetenv("VORANDEL_TURNTABLE_REALTIME");
    EXPECT_EQ(realtime.exitCode, 2) << realtime.describe();
    EXPECT_TRUE(has(realtime.err, "VORANDEL_TURNTABLE_REALTIME=garbage is not allowed"));
    // A log file named without a level: the log stays off, as unset, and
    // the plug-in says why once, however many moves it makes.
    const std::string logPath = "/tmp/turntablectl-test-log-" + std::to_string(getpid()) + ".log";
    setenv("VORANDEL_TURNTABLE_LOG", (":" + logPath).c_str(), 1);
    const ToolRun log =
        ToolRun::turntablectl({"--sim-counts", "40", "spin", "--shots", "3", "--settle", "0"});
    unsetenv("VORANDEL_TURNTABLE_LOG");
    EXPECT_EQ(log.exitCode, 0) << log.describe();
    const std::string said =
        "vorandel-turntable: VORANDEL_TURNTABLE_LOG=\":" + logPath +
        "\": no level before ':' (off, error, info or debug); the log is off\n";
    const size_t first = log.err.find(said);
    EXPECT_NE(first, std::string::npos) << log.err;
    EXPECT_EQ(log.err.find(said, first + 1), std::string::npos) << log.err;
    EXPECT_NE(access(logPath.c_str(), F_OK), 0) << "no log file is made";
    {
        SimulatedTables tables("3,trace=/nonexistent/dir/t.vcd");
        const ToolRun trace = ToolRun::turntablectl({"rotate", "--counts", "3"});
        EXPECT_EQ(trace.exitCode, 2) << trace.describe();
        EXPECT_TRUE(has(trace.err, "trace=/nonexistent/dir/t.vcd: cannot write there"))
            << trace.err;
        EXPECT_EQ(trace.out, "");
    }
}

TEST(PhotographerCases, MessagesSayWhatHappenedInThePersonsTerms) {
    const ToolRun version = ToolRun::turntablectl({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("turntablectl ", 0), 0u) << version.out;
    const ToolRun unknown = ToolRun::turntablectl({"frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(has(unknown.err, "frobnicate")) << unknown.err;
    EXPECT_FALSE(has(unknown.err, "subcommand")) << unknown.err;

    // A model forced on an identified table is not called identified.
    const ToolRun forced = ToolRun::turntablectl({"--model", "1", "info"});
    ASSERT_EQ(forced.exitCode, 0) << forced.describe();
    EXPECT_TRUE(has(forced.out,
                    "Vorandel Classic (row 1, as --model says; the turntable "
                    "identifies as row 3, Vorandel Cobalt Medium)"))
        << forced.out;
    EXPECT_FALSE(nlohmann::json::parse(
                     ToolRun::turntablectl({"--model", "1", "info", "--json"}).out)["identified"]
                     .get<bool>());

    // The angle the table reaches, in its own words.
    const ToolRun whole = ToolRun::turntablectl({"--sim-counts", "240", "rotate", "--to", "360"});
    EXPECT_TRUE(has(whole.out, "to 360.00 deg (one whole turn, 240 counts)")) << whole.out;
    EXPECT_EQ(whole.board().position, 240);
    // An angle between two counts is named as the count reached.
    const ToolRun between = ToolRun::turntablectl({"--sim-counts", "240", "rotate", "--to", "100"});
    EXPECT_TRUE(has(between.out, "to 100.50 deg (67 counts)")) << between.out;
    EXPECT_EQ(between.board().position, 67);
    const ToolRun nearlyWhole =
        ToolRun::turntablectl({"--sim-counts", "240", "rotate", "--to", "-359.5"});
    EXPECT_TRUE(has(nearlyWhole.out, "to -360.00 deg (one whole turn, 240 counts)"))
        << nearlyWhole.out;
    EXPECT_EQ(nearlyWhole.board().position, -240);

    // Singular where there is one, plain decimals.
    const ToolRun one =
        ToolRun::turntablectl({"--sim-counts", "1", "spin", "--shots", "1", "--dry-run"});
    EXPECT_TRUE(has(one.out, ": 1 shot of 360.00 deg clockwise, 1 count a turn")) << one.out;
    const ToolRun fine =
        ToolRun::turntablectl({"--sim-counts", "240", "spin", "--shots", "1000", "--dry-run"});
    EXPECT_TRUE(has(fine.err,
                    "a step of 0.36 degrees is less than one count of this turntable "
                    "(240 counts a turn)"))
        << fine.err;

    // A resumed session counts the shots it takes.
    const ToolRun resumed = ToolRun::turntablectl(
        {"--sim-counts", "250", "spin", "--shots", "7", "--from", "2", "--settle", "0"});
    ASSERT_EQ(resumed.exitCode, 0) << resumed.describe();
    EXPECT_EQ(resumed.outLinesWith("6 shots of 7 (from shot 2)").size(), 1u) << resumed.out;
    EXPECT_EQ(resumed.outLinesWith("Spin done: 6 shots (2 to 7 of 7)").size(), 1u) << resumed.out;

    // No turntable on a real backend: where to look next.
    const ToolRun none = ToolRun::turntablectl({"--d2xx", NO_HARDWARE_D2XX_PATH, "list"});
    EXPECT_EQ(none.exitCode, 3) << none.describe();
    EXPECT_TRUE(has(none.err, "plugdev")) << none.err;
    EXPECT_TRUE(has(none.err, "turntablectl --d2xx libftdi1 list")) << none.err;
    // The diagnostic log says what discovery saw, also when it saw nothing.
    const ToolRun verbose = ToolRun::turntablectl({"--verbose", "--sim-none", "list"});
    EXPECT_TRUE(has(verbose.err, "listing of \"245R\" chips: 0 devices")) << verbose.err;
}

// A stepper table driven as the Classic never shows a counted run's end; the
// plug-in gives such a move up after its run watch of 30 s. The rotation and
// the spin run side by side, so the case waits for the watch once.
TEST(PhotographerCases, AMoveTheBoardNeverReportsEndsWithAClearMessage) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    std::future<ToolRun> spinning = std::async(std::launch::async, [] {
        return ToolRun::turntablectl({"--sim-unidentified", "--model", "1", "spin", "--shots", "4",
                                      "--settle", "0", "--json"});
    });
    const ToolRun rotate =
        ToolRun::turntablectl({"--sim-unidentified", "--model", "1", "rotate", "--counts", "3"});
    const ToolRun spin = spinning.get();
    const auto seconds = std::chrono::duration<double>(Clock::now() - start).count();

    EXPECT_EQ(rotate.exitCode, 1) << rotate.describe();
    EXPECT_TRUE(has(rotate.err, "the move ended without the board's report of its end"))
        << rotate.err;
    EXPECT_TRUE(has(rotate.err, "Is --model right for this turntable?")) << rotate.err;
    EXPECT_FALSE(has(rotate.out, "Done")) << rotate.out;

    // The spin ends at its first move: no shot is taken at an angle nobody
    // knows, and no resume is offered from there.
    EXPECT_EQ(spin.exitCode, 1) << spin.describe();
    const std::vector<nlohmann::json> all = events(spin);
    ASSERT_FALSE(all.empty()) << spin.describe();
    for (const nlohmann::json& event : all) {
        EXPECT_NE(event["event"], "moved") << event;
        EXPECT_NE(event["event"], "shot") << event;
    }
    const nlohmann::json& last = all.back();
    EXPECT_EQ(last["event"], "stopped");
    EXPECT_EQ(last["reason"], "move-failed");
    EXPECT_EQ(last["shotsTaken"], 0);
    EXPECT_TRUE(last["restingShot"].is_null()) << last;
    EXPECT_TRUE(last["resume"].is_null()) << last;
    EXPECT_TRUE(has(spin.err, "the move to shot 1 ended without the board's report of its end"))
        << spin.err;
    EXPECT_TRUE(has(spin.err,
                    "rests between the start and shot 1, at an angle it does not know "
                    "(its move failed)\nIs --model right"))
        << spin.err;

    // Given up by the plug-in's watch, not earlier by the tool's own guess.
    EXPECT_GE(seconds, 30.0);
}

}  // namespace
