// Two threads calling D2XX at once, as the host thread and a rotation worker do.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "SimTestSupport.h"
#include "ftsim/Bench.h"

using namespace ftsim;

TEST(Concurrency, WorkerPulsesWhileTheHostQueriesAndReads) {
    auto bench = BenchBuilder()
                     .device(DeviceSetup().stepper(StepperSetup()))
                     .device(DeviceSetup().dcBoard(DcSetup()))
                     .build();
    FT_HANDLE stepper = simtest::open(0);
    FT_HANDLE dc = simtest::open(1);
    simtest::bitBang(stepper, 0xFF);
    simtest::bitBang(dc, 0xEF);
    constexpr int kSteps = 400;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < kSteps; ++i) {
            simtest::writeByte(stepper, 0x07);
            simtest::writeByte(stepper, 0x03);
        }
        done = true;
    });
    do {
        simtest::readByte(dc);
        bench.device(0).stepper().position();
        bench.trace().size();
    } while (!done);
    worker.join();
    EXPECT_EQ(bench.device(0).stepper().position(), kSteps);
    EXPECT_EQ(bench.trace().count("FT_Write", 0), 2u * kSteps);
}
