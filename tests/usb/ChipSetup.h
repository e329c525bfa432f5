// What one emulated FT245R is built as.
#ifndef TESTS_USB_CHIPSETUP_H
#define TESTS_USB_CHIPSETUP_H

#include <string>

#include "ftsim/DcSetup.h"
#include "ftsim/StepperSetup.h"

/// The chip's EEPROM strings and identity record, the board behind its pins
/// and whether another process holds its interface.
struct ChipSetup {
    enum class Board { None, Stepper, Dc };

    std::string manufacturer = "FTDI";
    std::string description = "FT245R USB FIFO";
    std::string serialNumber = "A1";
    int identityRow = -1;  ///< catalogue row in the identity record; -1: none
    int deviceKind = 1;    ///< device kind field of the record
    Board board = Board::None;
    ftsim::StepperSetup stepper;
    ftsim::DcSetup dc;
    bool heldElsewhere = false;
    /// Bit-bang bytes a second per baud (16, the published figure, unless
    /// the chip is to mimic one that departs from it).
    unsigned byteClockMultiple = 16;

    ChipSetup& withStepper(const ftsim::StepperSetup& setup) {
        board = Board::Stepper;
        stepper = setup;
        return *this;
    }
    ChipSetup& withDc(const ftsim::DcSetup& setup) {
        board = Board::Dc;
        dc = setup;
        return *this;
    }
    ChipSetup& byteClock(unsigned multiple) {
        byteClockMultiple = multiple;
        return *this;
    }
    ChipSetup& identity(int row) {
        identityRow = row;
        return *this;
    }
};

#endif  // TESTS_USB_CHIPSETUP_H
