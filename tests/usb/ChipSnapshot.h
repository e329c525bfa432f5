// What an emulated FT245R and its board have seen, copied out at one instant.
#ifndef TESTS_USB_CHIPSNAPSHOT_H
#define TESTS_USB_CHIPSNAPSHOT_H

#include <array>
#include <cstdint>
#include <vector>

#include "ftsim/DcView.h"

struct ChipSnapshot {
    unsigned baudRate = 0;            ///< from the last divisor the chip was given
    unsigned latency = 0;
    std::uint8_t mask = 0;
    std::uint8_t mode = 0;
    std::uint8_t lines = 0;           ///< levels on the chip-driven lines
    std::vector<std::uint16_t> purges;  ///< wValue of every SIO reset/purge request
    std::vector<std::uint8_t> written;  ///< every byte of every bulk OUT transfer
    unsigned bulkOutTransfers = 0;
    std::array<std::uint8_t, 128> eeprom{};
    // Stepper board.
    std::int64_t stepPosition = 0;
    std::uint64_t steps = 0;
    std::uint64_t stepsLost = 0;
    std::vector<std::int64_t> stepTimes;  ///< steady_clock ns of every step counted
    bool motorEnabled = false;
    std::size_t shots = 0;
    // DC board.
    std::vector<ftsim::DcRun> dcRuns;
    std::vector<std::uint8_t> dcPresets;
    std::uint64_t dcCounts = 0;  ///< counts turned up to the snapshot
};

#endif  // TESTS_USB_CHIPSNAPSHOT_H
