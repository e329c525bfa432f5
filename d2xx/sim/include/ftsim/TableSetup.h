// One simulated turntable as a table list names it.
#ifndef FTSIM_TABLESETUP_H
#define FTSIM_TABLESETUP_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "ftd2xx.h"

namespace ftsim {

/// A catalogue model with the board it needs, and the settings that differ
/// from the model's own.
struct TableSetup {
    std::size_t row = 0;     ///< catalogue row the table is built as
    std::string label;       ///< that row's label in the plug-in's list
    bool dcBoard = false;    ///< the Classic's counter board; else a stepper board
    bool identified = true;  ///< an identity record holding `row` is in the EEPROM
    unsigned stepsPerRevolution = 0;  ///< stepper board; 0 on the DC board
    bool enableActiveHigh = true;     ///< stepper board polarities, as the model's preset drives
    bool clockwiseActiveHigh = true;
    std::int64_t countNanoseconds = 0;  ///< time per count of the DC board; 0 on a stepper
    unsigned usbLatencyMicroseconds = 0;  ///< every D2XX call on the device takes that long
    unsigned byteClockMultiple = 16;      ///< bit-bang bytes a second per baud
    FT_STATUS failOpenStatus = FT_OK;     ///< FT_Open of the device answers this
    std::string tracePath;                ///< VCD of the device's pins, written on exit; "" none
};

}  // namespace ftsim

#endif  // FTSIM_TABLESETUP_H
