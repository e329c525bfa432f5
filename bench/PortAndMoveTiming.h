// The two costs that bound a move on any D2XX library: one single-byte port
// write in async bit-bang mode, and a 1,000-step stepper move at full speed
// through the plug-in object. Each program sets up its own chip (simulated
// or emulated over USB) as list position 0 and registers these.
#ifndef BENCH_PORTANDMOVETIMING_H
#define BENCH_PORTANDMOVETIMING_H

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "BenchHost.h"
#include "ftd2xx.h"

namespace port_and_move_timing {

inline void singleByteWrite(benchmark::State& state) {
    FT_HANDLE handle = nullptr;
    if (FT_Open(0, &handle) != FT_OK ||
        FT_SetBitMode(handle, 0xFF, FT_BITMODE_ASYNC_BITBANG) != FT_OK) {
        state.SkipWithError("the chip did not open in bit-bang mode");
        return;
    }
    unsigned char byte = 0x01;
    DWORD written = 0;
    for (auto _ : state) {
        byte ^= 0x04;  // the step line, so every write changes the pins
        if (FT_Write(handle, &byte, 1, &written) != FT_OK || written != 1) {
            state.SkipWithError("FT_Write failed");
            break;
        }
    }
    FT_Close(handle);
}

/// The table must be identified (an identity record) so that it opens as a
/// stepper model; 3,600 counts a turn make 100 degrees 1,000 steps.
inline void thousandStepMove(benchmark::State& state) {
    const BenchHost host;
    HxVorandelTurntableControl plugin;
    if (!BenchHost::openFirstAtFullSpeed(plugin)) {
        state.SkipWithError("the turntable did not open");
        return;
    }
    plugin.SetCountsPerRevolution(3600);
    float target = 100.0f;
    for (auto _ : state) {
        plugin.rotateDeviceToAngle(target);
        while (plugin.IsTurntableRotating()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        plugin.stopRotation();
        target = target == 0.0f ? 100.0f : 0.0f;
    }
    plugin.closeDevice();
}

}  // namespace port_and_move_timing

#endif  // BENCH_PORTANDMOVETIMING_H
