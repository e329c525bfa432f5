// An FT245R as the USB bus sees it, with a board model on its pins.
#ifndef TESTS_USB_EMULATEDFT245R_H
#define TESTS_USB_EMULATEDFT245R_H

#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Board.h"
#include "ByteClock.h"
#include "ChipSetup.h"
#include "ChipSnapshot.h"


/// The chip's side of every transfer libftdi1 makes: the standard string
/// requests, FTDI's vendor requests (reset and purges, baud-rate divisor,
/// latency, bit mode, pin read, EEPROM words), bulk OUT bytes that drive the
/// output pins in bit-bang mode and bulk IN packets of two modem-status
/// bytes followed by pin samples. In bit-bang mode the bytes go through the
/// simulated bench's own transmit buffer and byte clock (ByteClock), and
/// the pins drive its own stepper or DC board model. Called on umockdev's
/// thread and read by the tests: everything is under one lock.
class EmulatedFt245r {
public:
    explicit EmulatedFt245r(const ChipSetup& setup);

    /// A control transfer: `setup` is the 8-byte setup packet, `data` its
    /// data stage of `length` bytes. Returns the bytes transferred, or a
    /// negative errno (-EPIPE: the chip stalls the request).
    int control(const std::uint8_t* setup, std::uint8_t* data, int length);
    /// Bulk OUT to endpoint 0x02; returns the bytes taken. *heldOffUntil
    /// is when the last of them entered the transmit buffer: until then the
    /// chip holds the transfer off (0 when it took them at once).
    int bulkOut(const std::uint8_t* data, int length, std::int64_t* heldOffUntil);
    /// Waits, on the calling thread, until `until` (a time of
    /// std::chrono::steady_clock in ns) or until the chip is pulled out.
    /// Returns the bytes of the last bulk OUT transfer that had entered the
    /// buffer: all of `length` unless the chip went first.
    int holdOff(std::int64_t until, int length);
    /// The chip leaves the bus: what its transmit buffer holds is lost.
    void pullOut();
    /// Bulk IN from endpoint 0x81; returns the bytes answered.
    int bulkIn(std::uint8_t* data, int length);

    const ChipSetup& setup() const { return m_setup; }
    /// What the chip and its board show once the bytes it holds at the
    /// call have reached the pins (a transfer returns while its bytes still
    /// play out, as on a real chip).
    ChipSnapshot snapshot();
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
    /// Puts on the pins every held byte whose time has come by `time`.
    void advance(std::int64_t time);
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
    ftsim::ByteClock m_clock;
    std::condition_variable m_pulledOut;
    std::int64_t m_pulledOutAt = -1;  ///< -1 while on the bus
    std::uint8_t m_latch = 0;
    std::uint8_t m_lines = 0;
    std::vector<std::uint16_t> m_purges;
    std::vector<std::uint8_t> m_written;
    unsigned m_bulkOutTransfers = 0;
};

#endif  // TESTS_USB_EMULATEDFT245R_H
