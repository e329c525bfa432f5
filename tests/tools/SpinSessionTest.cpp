// Capture sessions: a command of the photographer's at each stop, a session
// broken by that command and resumed, the plan before anything turns, and the
// events a script follows, all end to end on the simulated table.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ToolRun.h"

namespace {

class SpinSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = "/tmp/turntablectl-session-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string path(const std::string& name) const { return m_dir + "/" + name; }

    // Appends "SHOT SHOTS ANGLE MODEL" to `file` at each stop.
    std::string recording(const std::string& file) const {
        return "printf '%s %s %s %s\\n' \"$TURNTABLECTL_SHOT\" \"$TURNTABLECTL_SHOTS\" "
               "\"$TURNTABLECTL_ANGLE\" \"$TURNTABLECTL_MODEL\" >> '" +
               path(file) + "'";
    }

    std::vector<std::string> lines(const std::string& file) const {
        std::ifstream in(path(file));
        std::vector<std::string> all;
        for (std::string line; std::getline(in, line);) {
            all.push_back(line);
        }
        return all;
    }

    static std::vector<nlohmann::json> events(const ToolRun& run) {
        std::vector<nlohmann::json> all;
        std::istringstream in(run.out);
        for (std::string line; std::getline(in, line);) {
            all.push_back(nlohmann::json::parse(line));  // throws on anything but JSON
        }
        return all;
    }

    // The shell command on the line after "Resume with: " on standard error.
    static std::string resumeHint(const ToolRun& run) {
        const std::string tag = "Resume with: ";
        const size_t at = run.err.find(tag);
        if (at == std::string::npos) {
            return "";
        }
        const size_t end = run.err.find('\n', at);
        return run.err.substr(at + tag.size(), end - at - tag.size());
    }

    // Rising edges of the step line in a VCD trace.
    static int stepEdges(const std::string& trace) {
        std::ifstream in(trace);
        std::string id;
        int edges = 0;
        for (std::string line; std::getline(in, line);) {
            char name[64] = {};
            char code[8] = {};
            if (std::sscanf(line.c_str(), "$var wire 1 %7s %63s $end", code, name) == 2 &&
                std::string(name) == "step") {
                id = code;
            } else if (!id.empty() && line == "1" + id) {
                ++edges;
            }
        }
        return id.empty() ? -1 : edges;
    }

    std::string m_dir;
};

TEST_F(SpinSessionTest, CommandRunsAtEveryStopWithItsShotAndEventsFollowAsJson) {
    // The command also writes to standard output: with --json that must
    // not reach ours.
    const ToolRun run = ToolRun::turntablectl(
        {"spin", "--shots", "4", "--sim-counts", "240", "--settle", "20", "--shutter", "--json",
         "--on-shot", "echo noise; " + recording("shots")});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    const std::vector<std::string> recorded = lines("shots");
    ASSERT_EQ(recorded.size(), 4u);
    for (unsigned shot = 1; shot <= 4; ++shot) {
        char expected[80];
        std::snprintf(expected, sizeof expected, "%u 4 %.2f Vorandel Cobalt Medium", shot,
                      90.0 * shot);
        EXPECT_EQ(recorded[shot - 1], expected);
    }
    EXPECT_NE(run.err.find("simulated board: position 240 steps, 240 pulses, 0 lost, 4 shutter"),
              std::string::npos)
        << run.err;

    const std::vector<nlohmann::json> all = events(run);
    ASSERT_EQ(all.size(), 4u * 3 + 1) << run.out;
    for (unsigned shot = 1; shot <= 4; ++shot) {
        const char* kinds[] = {"moved", "settled", "shot"};
        for (unsigned k = 0; k < 3; ++k) {
            const nlohmann::json& event = all[(shot - 1) * 3 + k];
            EXPECT_EQ(event["event"], kinds[k]) << event;
            EXPECT_EQ(event["shot"], shot) << event;
            EXPECT_DOUBLE_EQ(event["angle"].get<double>(), 90.0 * shot) << event;
        }
        EXPECT_EQ(all[(shot - 1) * 3]["counts"], 60);
    }
    EXPECT_EQ(all.back()["event"], "done");
    EXPECT_EQ(all.back()["shotsTaken"], 4);
}

TEST_F(SpinSessionTest, FailingCommandStopsAtRestAndItsResumeHintFinishesTheTurn) {
    // Shot 5 fails until the photographer has fixed the camera.
    const std::string camera = "[ -e '" + path("fixed") + "' ] || [ \"$TURNTABLECTL_SHOT\" != 5 ]";
    const ToolRun broken =
        ToolRun::turntablectl({"spin", "--shots", "8", "--sim-counts", "240", "--settle", "0",
                               "--on-shot", recording("shots") + " && " + camera});
    EXPECT_EQ(broken.exitCode, 6) << broken.describe();
    // At rest at shot 5: exactly its counts turned, none since.
    EXPECT_EQ(broken.board().position, 150);
    EXPECT_EQ(broken.board().pulses, 150u);
    EXPECT_NE(broken.err.find("exited with status 1 at shot 5 of 8"), std::string::npos)
        << broken.err;
    EXPECT_NE(broken.err.find("rests at shot 5 (225.00 deg"), std::string::npos) << broken.err;
    EXPECT_EQ(broken.outLinesWith("/8 at").size(), 4u) << broken.out;

    const std::string hint = resumeHint(broken);
    ASSERT_NE(hint.find("--from 5 --table-at 5"), std::string::npos) << broken.err;
    std::ofstream(path("fixed")).put('\n');
    const ToolRun resumed = ToolRun::program({"sh", "-c", hint});
    ASSERT_EQ(resumed.exitCode, 0) << resumed.describe();
    // Both sessions together: one turn, every shot once past the failure.
    EXPECT_EQ(broken.board().position + resumed.board().position, 240);
    const std::vector<std::string> recorded = lines("shots");
    ASSERT_EQ(recorded.size(), 9u);
    for (unsigned i = 0; i < 9; ++i) {
        const unsigned shot = i < 5 ? i + 1 : i;
        EXPECT_EQ(recorded[i].rfind(std::to_string(shot) + " 8 ", 0), 0u) << recorded[i];
    }

    // From a table at the start of the plan, --from first turns to the shot.
    const ToolRun fromStart = ToolRun::turntablectl(
        {"spin", "--shots", "8", "--sim-counts", "240", "--settle", "0", "--from", "5"});
    ASSERT_EQ(fromStart.exitCode, 0) << fromStart.describe();
    EXPECT_EQ(fromStart.board().position, 240);
    EXPECT_EQ(fromStart.outLinesWith("/8 at").size(), 4u) << fromStart.out;
}

TEST_F(SpinSessionTest, HangingCommandOrSettleIsEndedByTimeoutOrCtrlC) {
    const ToolRun timedOut = ToolRun::turntablectl(
        {"spin", "--shots", "4", "--sim-counts", "240", "--settle", "0", "--on-shot", "sleep 60",
         "--on-shot-timeout", "0.5"});
    EXPECT_EQ(timedOut.exitCode, 7) << timedOut.describe();
    EXPECT_EQ(timedOut.board().position, 60);
    EXPECT_NE(resumeHint(timedOut).find("--from 1 --table-at 1"), std::string::npos)
        << timedOut.err;

    // Ctrl-C in the settle time: the table stands at the shot it reached.
    const ToolRun settling = ToolRun::turntablectlInterrupted(
        {"spin", "--shots", "4", "--sim-counts", "240", "--settle", "60000", "--json"},
        "\"moved\"");
    EXPECT_EQ(settling.exitCode, 130) << settling.describe();
    EXPECT_LT(settling.interruptToExit.count(), 30000);
    const std::vector<nlohmann::json> settleEvents = events(settling);
    ASSERT_EQ(settleEvents.size(), 2u) << settling.out;
    EXPECT_EQ(settleEvents[1]["reason"], "interrupted");
    EXPECT_NE(settleEvents[1]["resume"].get<std::string>().find("--from 1 --table-at 1"),
              std::string::npos);

    // A helper the command left in the background goes with it.
    const ToolRun interrupted = ToolRun::turntablectlInterrupted(
        {"spin", "--shots", "4", "--sim-counts", "240", "--settle", "0", "--on-shot",
         "sleep 60 & echo $! > '" + path("pid") + "'; echo command-running; wait"},
        "command-running");
    EXPECT_EQ(interrupted.exitCode, 130) << interrupted.describe();
    EXPECT_LT(interrupted.interruptToExit.count(), 30000);
    EXPECT_EQ(interrupted.board().position, 60);
    EXPECT_NE(resumeHint(interrupted).find("--from 1 --table-at 1"), std::string::npos)
        << interrupted.err;
    const std::vector<std::string> pid = lines("pid");
    ASSERT_EQ(pid.size(), 1u);
    // Gone, or a zombie waiting for its new parent to reap it.
    std::ifstream stat("/proc/" + pid[0] + "/stat");
    std::string field, name, state;
    if (stat >> field >> name >> state) {
        std::ifstream cmdline("/proc/" + pid[0] + "/cmdline");
        std::string command;
        std::getline(cmdline, command, '\0');
        EXPECT_TRUE(state == "Z" || command != "sleep")
            << "the background helper still runs: " << state << " " << command;
    }
}

TEST_F(SpinSessionTest, DryRunShowsThePlanAndTurnsNothing) {
    const std::string trace = path("dry.vcd");
    const ToolRun text = ToolRun::turntablectl(
        {"spin", "--shots", "7", "--sim-counts", "250", "--dry-run", "--trace", trace});
    ASSERT_EQ(text.exitCode, 0) << text.describe();
    EXPECT_EQ(stepEdges(trace), 0);
    EXPECT_EQ(text.board().pulses, 0u);
    EXPECT_EQ(text.outLinesWith("  shot ").size(), 7u) << text.out;
    EXPECT_EQ(text.outLinesWith("7 shots, 250 counts").size(), 1u) << text.out;

    const ToolRun json = ToolRun::turntablectl({"spin", "--shots", "7", "--sim-counts", "250",
                                                "--dry-run", "--json", "--from", "3",
                                                "--table-at", "2"});
    ASSERT_EQ(json.exitCode, 0) << json.describe();
    const nlohmann::json plan = nlohmann::json::parse(json.out);
    ASSERT_EQ(plan["shots"].size(), 5u);
    long counts = 0;
    for (const nlohmann::json& shot : plan["shots"]) {
        counts += shot["counts"].get<long>();
    }
    EXPECT_EQ(plan["shots"][0]["shot"], 3);
    EXPECT_EQ(plan["shots"][4]["angle"], 360.0);
    // Shots 1 and 2 took 36 and 35 counts; the rest of the turn is left.
    EXPECT_EQ(counts, 250 - 71);
    EXPECT_GT(plan["expectedSeconds"].get<double>(), 5 * 0.3);

    // The same plan, run: what it announced is what the board counts.
    const ToolRun ran = ToolRun::turntablectl(
        {"spin", "--shots", "7", "--sim-counts", "250", "--settle", "0", "--from", "3",
         "--table-at", "2"});
    ASSERT_EQ(ran.exitCode, 0) << ran.describe();
    EXPECT_EQ(ran.board().pulses, static_cast<unsigned long long>(counts));
}

}  // namespace
