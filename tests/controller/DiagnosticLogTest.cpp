// The diagnostic log as a user switches it on: the lines that a failed D2XX
// call, a refused operation, a move and a swallowed exception leave, nothing
// while it is off, and the grammar of its environment value.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "DiagnosticSettings.h"
#include "WorkerDriver.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/Device.h"
#include "ftsim/DeviceSetup.h"

using ftsim::Fault;
using Category = DiagnosticLog::Category;
using Level = DiagnosticLog::Level;

namespace {

std::string temporaryFile() {
    char name[] = "/tmp/turntable-log-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd >= 0)
        ::close(fd);
    return name;
}

/// Digits from `at` on; false when there are none. `at` moves past them.
bool skipDigits(const std::string& line, std::size_t& at, std::size_t exactly = 0) {
    const std::size_t start = at;
    while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at])))
        ++at;
    return at > start && (exactly == 0 || at - start == exactly);
}

bool skipText(const std::string& line, std::size_t& at, const char* text) {
    if (line.compare(at, std::strlen(text), text) != 0)
        return false;
    at += std::strlen(text);
    return true;
}

/// Lower-case letters up to `end`, at least one.
bool skipWord(const std::string& line, std::size_t& at, char end) {
    const std::size_t start = at;
    while (at < line.size() && std::islower(static_cast<unsigned char>(line[at])))
        ++at;
    return at > start && at < line.size() && line[at++] == end;
}

/// "vorandel-turntable <s>.<6 digits> tid <n> <category> <level>: <text>":
/// on a match, *tid and *text (from the category on) are set.
bool parseRecord(const std::string& line, long* tid, std::string* text) {
    std::size_t at = 0;
    if (!skipText(line, at, "vorandel-turntable ") || !skipDigits(line, at) ||
        !skipText(line, at, ".") || !skipDigits(line, at, 6) || !skipText(line, at, " tid "))
        return false;
    const std::size_t tidStart = at;
    if (!skipDigits(line, at) || !skipText(line, at, " "))
        return false;
    const std::size_t textStart = at;
    if (!skipWord(line, at, ' ') || !skipWord(line, at, ':') || !skipText(line, at, " "))
        return false;
    *tid = std::stol(line.substr(tidStart, textStart - 1 - tidStart));
    *text = line.substr(textStart);
    return true;
}

/// The texts of the records in `path`, each line checked against the
/// record format; a line that does not match is kept whole, so that the
/// comparison shows it.
std::vector<std::string> recordTexts(const std::string& path, long* lastTid = nullptr) {
    std::vector<std::string> texts;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        long tid = 0;
        std::string text;
        const bool matched = parseRecord(line, &tid, &text);
        texts.push_back(matched ? text : line);
        if (matched && lastTid)
            *lastTid = tid;
    }
    return texts;
}

class DiagnosticLogOnBench : public ::testing::Test {
protected:
    void SetUp() override {
        bench = ftsim::BenchBuilder().device(ftsim::DeviceSetup().userAreaSize(64)).buildUnique();
        ASSERT_TRUE(driver.openDevice(0, nullptr));
        driver.setBitMode(0xFF, TestController::BITMODE_ASYNC_BITBANG);
        driver.SetCountsPerRevolution(72);
        driver.stepMilliseconds = 1;
    }
    void TearDown() override {
        DiagnosticLog::configure("");
        ::unlink(path.c_str());
        driver.stopRotation();
        driver.closeDevice();
    }

    void logTo(const std::string& settings) {
        ASSERT_EQ(DiagnosticLog::configure(settings + ":" + path), "");
    }
    /// One move of `counts` (0: continuous, ended by `end` once it steps),
    /// until its worker is out.
    void runMove(int counts, const std::function<void()>& end = nullptr) {
        if (counts == 0)
            driver.SetRotationContinuous();
        else
            driver.SetRotationIncrementInCounts(counts);
        ASSERT_TRUE(driver.startRotation());
        if (end) {
            ASSERT_TRUE(waitUntil([&] { return driver.stepsTaken >= 1; }));
            end();
        }
        ASSERT_TRUE(waitUntil([&] { return !driver.HasWorkerInFlight(); }));
    }

    const std::string path = temporaryFile();
    std::unique_ptr<ftsim::Bench> bench;
    WorkerDriver driver;
};

}  // namespace

TEST_F(DiagnosticLogOnBench, EachFailedD2xxCallLeavesOneLineNamingItAndItsStatus) {
    logTo("error");
    ftsim::Device& device = bench->device(0);
    device.failWrites(Fault::withStatus(FT_IO_ERROR));
    driver.writeChipByte(0x01);
    driver.writeChipByte(0x02);
    long tid = 0;
    EXPECT_EQ(recordTexts(path, &tid),
              std::vector<std::string>{
                  "device error: FT_Write failed: FT_IO_ERROR (status 4), 0 of 1 bytes"});
    EXPECT_EQ(tid, static_cast<long>(::gettid()));

    device.failWrites(Fault::shortTransfer(0));
    driver.writeChipByte(0x03);
    device.failReads(Fault::withStatus(FT_DEVICE_NOT_FOUND));
    driver.readChipByte(0xFF);
    device.failEeprom(ftsim::EepromCall::UAWrite, FT_EEPROM_WRITE_FAILED, 1);
    EXPECT_FALSE(driver.writeToEEPROM(3));
    driver.closeDevice();
    device.failOpen(FT_DEVICE_NOT_OPENED);
    EXPECT_FALSE(driver.openDevice(0, nullptr));
    const std::vector<std::string> texts = recordTexts(path);
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[1], "device error: FT_Write moved 0 of 1 bytes (FT_OK)");
    EXPECT_EQ(texts[2],
              "device error: FT_Read failed: FT_DEVICE_NOT_FOUND (status 2), 0 of 1 bytes");
    EXPECT_EQ(texts[3], "device error: FT_EE_UAWrite failed: FT_EEPROM_WRITE_FAILED (status 12)");
    EXPECT_EQ(texts[4], "device error: FT_Open failed: FT_DEVICE_NOT_OPENED (status 3)");
}

TEST_F(DiagnosticLogOnBench, RefusalsSayWhatWasRefusedAndWhy) {
    driver.SetRotationContinuous();
    ASSERT_TRUE(driver.startRotation());
    ASSERT_TRUE(waitUntil([&] { return driver.stepsTaken >= 1; }));
    logTo("move=info,device=info");
    EXPECT_FALSE(driver.startRotation());
    EXPECT_FALSE(driver.writeToEEPROM(3));
    EXPECT_EQ(
        recordTexts(path),
        (std::vector<std::string>{
            "move info: start refused: the move is running, 0 stop(s) under way",
            "move info: exclusive port work refused: the move is running, 0 stop(s) under way",
            "device info: EEPROM write refused"}));
}

TEST_F(DiagnosticLogOnBench, EachMoveLeavesItsStartAndHowItEnded) {
    logTo("move=info");
    driver.SetRotationCounterClockwise();
    runMove(3);
    long workerTid = 0;
    EXPECT_EQ(recordTexts(path, &workerTid),
              (std::vector<std::string>{"move info: move started: 3 counts, counter-clockwise",
                                        "move info: move ended: completed; at 15.000 degrees"}));
    EXPECT_NE(workerTid, static_cast<long>(::gettid())) << "the worker writes both";

    driver.SetRotationClockwise();
    runMove(0, [&] { driver.stopRotation(); });
    runMove(0, [&] { driver.cancelRotation(); });
    const std::vector<std::string> texts = recordTexts(path);
    ASSERT_EQ(texts.size(), 6u);
    EXPECT_EQ(texts[2], "move info: move started: continuous, clockwise");
    EXPECT_EQ(texts[3].rfind("move info: move ended: stopped; at ", 0), 0u) << texts[3];
    EXPECT_EQ(texts[5].rfind("move info: move ended: cancelled, not reported; at ", 0), 0u)
        << texts[5];
}

TEST_F(DiagnosticLogOnBench, SwallowedExceptionsAreRecordedWithTheirText) {
    logTo("error");
    driver.duringMotion = [] { throw std::runtime_error("encoder jammed"); };
    runMove(3);
    driver.duringMotion = nullptr;
    driver.onMoveEnded = [](WorkerDriver&) { throw 42; };
    runMove(1);
    EXPECT_EQ(
        recordTexts(path),
        (std::vector<std::string>{
            "move error: the motion threw: encoder jammed",
            "move error: the end-of-move report threw an exception that is no std::exception"}));
}

TEST_F(DiagnosticLogOnBench, OffWritesNothing) {
    logTo("off");
    bench->device(0).failWrites(Fault::withStatus(FT_IO_ERROR));
    driver.writeChipByte(0x01);
    driver.duringMotion = [this] { driver.startRotation(); };
    runMove(2);
    EXPECT_TRUE(recordTexts(path).empty());
}

TEST(DiagnosticLogRecord, StaysOneLineWhateverItsText) {
    const std::string path = temporaryFile();
    ASSERT_EQ(DiagnosticLog::configure("plugin=error:" + path), "");
    TT_LOG(Plugin, Error, "first\nsecond\r%s", std::string(3000, 'x').c_str());
    TT_LOG(Plugin, Info, "not at this level");
    TT_LOG(Device, Error, "not in this category");
    DiagnosticLog::configure("");
    const std::vector<std::string> texts = recordTexts(path);
    ::unlink(path.c_str());
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_LT(texts[0].size(), 1024u);
    EXPECT_EQ(texts[0].rfind("plugin error: first second xxx", 0), 0u) << texts[0].substr(0, 40);
    EXPECT_EQ(texts[0].substr(texts[0].size() - 4), "x...");
}

TEST(DiagnosticSettingsGrammar, LevelsApplyToAllOrOneCategoryAndPathFollowsTheColon) {
    const DiagnosticSettings mixed =
        DiagnosticSettings::parse(" Error , Move = DEBUG,plugin=off: /tmp/a:b.log ", "/tmp/other");
    EXPECT_EQ(mixed.fault, "");
    EXPECT_EQ(mixed.levels,
              (std::array<Level, 4>{Level::Error, Level::Debug, Level::Error, Level::Off}));
    EXPECT_EQ(mixed.path, "/tmp/a:b.log");
    EXPECT_EQ(DiagnosticSettings::parse("info", "/tmp/other").path, "/tmp/other");
    EXPECT_FALSE(DiagnosticSettings::parse("move=info,off", "").anyOn()) << "later settings win";
    EXPECT_FALSE(DiagnosticSettings::parse("  ", "").anyOn());
    EXPECT_EQ(DiagnosticSettings::parse("  ", "").fault, "");
    EXPECT_EQ(DiagnosticSettings::parse("off:/tmp/x.log", "").fault, "") << "off, said so";
}

TEST(DiagnosticSettingsGrammar, MalformedValueNamesWhatIsWrongAndTurnsEverythingOff) {
    const std::pair<const char*, const char*> cases[] = {
        {"error,verbose", "unknown level \"verbose\" (off, error, info or debug)"},
        {"camera=debug", "unknown category \"camera\" (device, move, driver or plugin)"},
        {"move=loud", "unknown level \"loud\" (off, error, info or debug)"},
        {"debug,,info", "unknown level \"\" (off, error, info or debug)"},
        {"debug:", "no file after ':'"},
        {":/tmp/x.log", "no level before ':' (off, error, info or debug)"},
        {"  : /tmp/x.log", "no level before ':' (off, error, info or debug)"},
    };
    for (const auto& [value, fault] : cases) {
        const DiagnosticSettings settings = DiagnosticSettings::parse(value, "/tmp/fallback");
        EXPECT_EQ(settings.fault, fault) << value;
        EXPECT_FALSE(settings.anyOn()) << value;
    }
    EXPECT_EQ(DiagnosticLog::configure("error,verbose"),
              "unknown level \"verbose\" (off, error, info or debug); the log is off");
    EXPECT_FALSE(DiagnosticLog::enabled(Category::Device, Level::Error));
    EXPECT_NE(DiagnosticLog::configure("info:/nonexistent-dir/log"), "");
    EXPECT_TRUE(DiagnosticLog::enabled(Category::Move, Level::Info))
        << "a file that cannot be opened leaves the lines on standard error";
    DiagnosticLog::configure("");
}

TEST(DiagnosticLogConfiguration, ReadsBothEnvironmentVariables) {
    const std::string path = temporaryFile();
    ::setenv("VORANDEL_TURNTABLE_LOG", "plugin=debug", 1);
    ::setenv("VORANDEL_TURNTABLE_LOG_FILE", path.c_str(), 1);
    DiagnosticLog::configureFromEnvironment();
    TT_LOG(Plugin, Debug, "from the environment");
    TT_LOG(Move, Error, "not in this category");
    ::unsetenv("VORANDEL_TURNTABLE_LOG");
    ::unsetenv("VORANDEL_TURNTABLE_LOG_FILE");
    DiagnosticLog::configure("");
    EXPECT_EQ(recordTexts(path), std::vector<std::string>{"plugin debug: from the environment"});
    ::unlink(path.c_str());
}
