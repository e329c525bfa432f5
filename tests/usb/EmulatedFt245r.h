// An FT245R as the USB bus sees it, with a board model on its pins.
#ifndef TESTS_USB_EMULATEDFT245R_H
#define TESTS_USB_EMULATEDFT245R_H

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Board.h"
#include "ChipSetup.h"
#include "ChipSnapshot.h"


/// The chip's side of every transfer libftdi1 makes: the standard string
/// requests, FTDI's vendor requests (reset and purges, baud-rate divisor,
/// latency, bit mode, pin read, EEPROM words), bulk OUT bytes that drive the
/// output pins in bit-bang mode and bulk IN packets of two modem-status
/// bytes followed by pin samples. The pins drive the simulated bench's own
/// stepper or DC board model. Called on umockdev's thread and read by the
/// tests: everything is under one lock.
class EmulatedFt245r {
public:
    explicit EmulatedFt245r(const ChipSetup& setup);

    /// A control transfer: `setup` is the 8-byte setup packet, `data` its
    /// data stage of `length` bytes. Returns the bytes transferred, or a
    /// negative errno (-EPIPE: the chip stalls the request).
    int control(const std::uint8_t* setup, std::uint8_t* data, int length);
    /// Bulk OUT to endpoint 0x02; returns the bytes taken.
    int bulkOut(const std::uint8_t* data, int length);
    /// Bulk IN from endpoint 0x81; returns the bytes answered.
    int bulkIn(std::uint8_t* data, int length);

    const ChipSetup& setup() const { return m_setup; }
    ChipSnapshot snapshot() const;
    /// Replaces the EEPROM contents (as if programmed elsewhere).
    void setEeprom(const std::array<std::uint8_t, 128>& image);

    /// The EEPROM image a chip with these strings and record carries,
    /// laid out and checksummed as FTDI's tools write it.
    static std::array<std::uint8_t, 128> eepromFor(const ChipSetup& setup);

private:
    int vendorRequest(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                      std::uint8_t* data, int length);
    int stringDescriptor(std::uint8_t index, std::uint8_t* data, int length) const;
    std::uint8_t pinsAt(std::int64_t time);
    void drive(std::uint8_t lines, std::int64_t time);
    void writeEepromWord(std::uint16_t address, std::uint16_t value);
    bool bitBang() const { return m_mode != 0; }

    const ChipSetup m_setup;
    mutable std::mutex m_mutex;
    std::unique_ptr<ftsim::Board> m_board;
    std::array<std::uint8_t, 128> m_eeprom{};
    int m_pendingEvenWord = -1;  ///< even EEPROM word waiting for its odd partner
    std::uint16_t m_pendingEvenValue = 0;
    unsigned m_baudRate = 9600;
    unsigned m_latency = 16;
    std::uint8_t m_mask = 0;
    std::uint8_t m_mode = 0;
    std::uint8_t m_latch = 0;
    std::uint8_t m_lines = 0;
    std::vector<std::uint16_t> m_purges;
    std::vector<std::uint8_t> m_written;
    unsigned m_bulkOutTransfers = 0;
};

#endif  // TESTS_USB_EMULATEDFT245R_H
