// The trace: calls in order, port bytes with times, text and VCD.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "SimTestSupport.h"
#include "ftsim/Bench.h"

using namespace ftsim;
using simtest::writeByte;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string run(const std::string& command) {
    std::string output;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    pclose(pipe);
    return output;
}

std::string tempPath(const char* name) {
    return ::testing::TempDir() + name + std::to_string(::getpid()) + ".vcd";
}

/// The last edge count sigrok's counter decoder reports for `channel`.
long sigrokEdges(const std::string& vcd, const std::string& channel, const std::string& edge) {
    const std::string out = run("sigrok-cli -I vcd -i '" + vcd + "' -P counter:data=" + channel +
                                ":data_edge=" + edge + " -A counter=edge_counts 2>&1");
    long last = -1;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        const auto colon = line.rfind(' ');
        if (line.rfind("counter-1:", 0) == 0 && colon != std::string::npos)
            last = std::stol(line.substr(colon + 1));
    }
    return last;
}

}  // namespace

TEST(Trace, RecordsEveryCallInOrderWithItsArguments) {
    auto bench = BenchBuilder().device(DeviceSetup().stepper(StepperSetup())).build();
    DWORD count = 0;
    FT_CreateDeviceInfoList(&count);
    FT_HANDLE handle = simtest::open(0);
    FT_SetBaudRate(handle, 1000000);
    FT_SetLatencyTimer(handle, 2);
    FT_SetBitMode(handle, 0xFF, FT_BITMODE_ASYNC_BITBANG);
    writeByte(handle, 0x0B);
    FT_Close(handle);
    EXPECT_EQ(bench.trace().calls(),
              (std::vector<std::string>{"FT_CreateDeviceInfoList", "FT_Open", "FT_SetBaudRate",
                                        "FT_SetLatencyTimer", "FT_SetBitMode", "FT_Purge",
                                        "FT_Write", "FT_Close"}));
    const auto calls = bench.trace().entries();
    EXPECT_EQ(calls[0].device, -1);
    EXPECT_EQ(calls[0].arg0, 1u);
    EXPECT_EQ(calls[1].device, 0);
    EXPECT_EQ(calls[1].openIndex(), 0u);
    EXPECT_EQ(calls[2].baud(), 1000000u);
    EXPECT_EQ(calls[3].latency(), 2u);
    EXPECT_EQ(calls[4].mask(), 0xFFu);
    EXPECT_EQ(calls[4].mode(), unsigned(FT_BITMODE_ASYNC_BITBANG));
    EXPECT_EQ(calls[6].bytes, std::vector<std::uint8_t>{0x0B});
    for (std::size_t i = 1; i < calls.size(); ++i)
        EXPECT_GE(calls[i].time, calls[i - 1].time);
    EXPECT_EQ(bench.trace().count("FT_Write", 0), 1u);
    EXPECT_EQ(bench.trace().calls(1), std::vector<std::string>{});
}

TEST(Trace, FailedCallsAreRecordedWithTheirStatus) {
    auto bench = BenchBuilder().device(DeviceSetup()).build();
    FT_SetBaudRate(nullptr, 9600);
    const auto calls = bench.trace().entries();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].status, FT_STATUS(FT_INVALID_HANDLE));
    EXPECT_EQ(calls[0].device, -1);
}

TEST(Trace, TextListsCallsAndBytes) {
    auto bench = BenchBuilder().device(DeviceSetup()).build();
    FT_HANDLE handle = simtest::open(0);
    FT_SetBitMode(handle, 0xEF, FT_BITMODE_ASYNC_BITBANG);
    writeByte(handle, 0xAE);
    const std::string text = bench.trace().toText();
    EXPECT_NE(text.find("FT_SetBitMode"), std::string::npos);
    EXPECT_NE(text.find("arg0=239"), std::string::npos);
    EXPECT_NE(text.find("[AE]"), std::string::npos);
}

TEST(Trace, ClearAndDisable) {
    auto bench = BenchBuilder().device(DeviceSetup().stepper(StepperSetup())).build();
    FT_HANDLE handle = simtest::open(0);
    simtest::bitBang(handle, 0xFF);
    bench.trace().clear();
    EXPECT_EQ(bench.trace().size(), 0u);
    bench.setTraceEnabled(false);
    writeByte(handle, 0x05);
    EXPECT_EQ(bench.trace().size(), 0u);
    EXPECT_TRUE(bench.trace().portWrites(0).empty());
    EXPECT_EQ(bench.device(0).stepper().pulsesCounted(), 1u);  // the board still works
}

TEST(Trace, VcdNamesThePinsAfterTheBoardLines) {
    auto bench = BenchBuilder()
                     .device(DeviceSetup().stepper(StepperSetup()))
                     .device(DeviceSetup().dcBoard(DcSetup()))
                     .device(DeviceSetup())
                     .build();
    const std::string path = tempPath("names");
    ASSERT_TRUE(bench.trace().writeVcd(path, 0));
    std::string vcd = readFile(path);
    EXPECT_NE(vcd.find("$timescale 1 us $end"), std::string::npos);
    for (const char* name : {"enable", "dir", "step", "usb_enable", "focus", "shutter", "d6", "d7"})
        EXPECT_NE(vcd.find(std::string(" ") + name + " $end"), std::string::npos) << name;
    ASSERT_TRUE(bench.trace().writeVcd(path, 1));
    vcd = readFile(path);
    for (const char* name : {"preset0", "preset3", "status", "start", "mode", "load"})
        EXPECT_NE(vcd.find(std::string(" ") + name + " $end"), std::string::npos) << name;
    ASSERT_TRUE(bench.trace().writeVcd(path, 2));
    EXPECT_NE(readFile(path).find(" d4 $end"), std::string::npos);
    EXPECT_FALSE(bench.trace().writeVcd(path, 3));
    std::remove(path.c_str());
}

TEST(Trace, SigrokReadsTheStepEdgesBack) {
    if (run("command -v sigrok-cli").empty())
        GTEST_SKIP() << "sigrok-cli is not installed";
    auto bench = BenchBuilder().device(DeviceSetup().stepper(StepperSetup())).build();
    FT_HANDLE handle = simtest::open(0);
    simtest::bitBang(handle, 0xFF);
    writeByte(handle, 0x0B);
    for (int i = 0; i < 7; ++i) {
        writeByte(handle, 0x0F);  // two writes in one microsecond must stay two edges
        writeByte(handle, 0x0B);
        simtest::spinFor(200000);
    }
    const std::string path = tempPath("steps");
    ASSERT_TRUE(bench.trace().writeVcd(path, 0));
    EXPECT_EQ(sigrokEdges(path, "step", "rising"), 7);
    EXPECT_EQ(sigrokEdges(path, "step", "any"), 14);
    EXPECT_EQ(sigrokEdges(path, "enable", "rising"), 1);
    std::remove(path.c_str());
}

TEST(Trace, VcdDrawsTheDcStatusLine) {
    if (run("command -v sigrok-cli").empty())
        GTEST_SKIP() << "sigrok-cli is not installed";
    auto bench =
        BenchBuilder().device(DeviceSetup().dcBoard(DcSetup().countNanoseconds(500000))).build();
    FT_HANDLE handle = simtest::open(0);
    simtest::bitBang(handle, 0xEF);
    for (int run = 0; run < 3; ++run) {
        writeByte(handle, 0x0E);
        writeByte(handle, 0x8E);
        writeByte(handle, 0xAE);
        writeByte(handle, 0x8E);
        simtest::spinFor(1500000);  // the one-count run is over
    }
    const std::string path = tempPath("status");
    ASSERT_TRUE(bench.trace().writeVcd(path, 0));
    EXPECT_EQ(sigrokEdges(path, "status", "falling"), 3);
    EXPECT_EQ(sigrokEdges(path, "status", "rising"), 3);
    EXPECT_EQ(sigrokEdges(path, "load", "rising"), 3);
    std::remove(path.c_str());
}
