// Test-side handle on one simulated device.
#ifndef FTSIM_DEVICE_H
#define FTSIM_DEVICE_H

#include <cstdint>
#include <string>
#include <vector>
#include "ftsim/Export.h"

#include "ftd2xx.h"
#include "ftsim/DcView.h"
#include "ftsim/Fault.h"
#include "ftsim/StepperView.h"
#include "ftsim/Time.h"

namespace ftsim {

/// One device of the bench, by bench index (the order devices were added).
/// Every call takes the bench lock, so tests may use it while other threads
/// call D2XX. Readings of the pins and the boards first wait until the bytes
/// the chips held at the call have reached the pins (the byte clock, see
/// the simulator's README); controls act at once. Valid as long as its bench.
class FTSIM_API Device {
public:
    explicit Device(int index) : m_index(index), m_stepper(index), m_dc(index) {}

    int index() const { return m_index; }

    // Faults. A count of kForever means "every call from now on"; `skip` lets
    // that many calls succeed first.
    Device& failOpen(FT_STATUS status);
    Device& failWrites(Fault fault, unsigned calls = 1, unsigned skip = 0);
    Device& failWritesFromNow(Fault fault) { return failWrites(fault, kForever); }
    Device& failReads(Fault fault, unsigned calls = 1, unsigned skip = 0);
    Device& failReadsFromNow(Fault fault) { return failReads(fault, kForever); }
    Device& clearPortFaults();
    /// The next `calls` calls of `which` fail with `status`.
    Device& failEeprom(EepromCall which, FT_STATUS status, unsigned calls = kForever);
    /// FT_EE_UARead returns FT_OK but reports (and copies) only `count` bytes.
    Device& shortUserAreaRead(DWORD count, unsigned calls = kForever);
    Device& clearEepromFaults();
    Device& setOpenElsewhere(bool open);

    // Hot plug. An unplugged device leaves the list; its handles give FT_IO_ERROR.
    Device& unplug();
    Device& unplugAfterWrites(unsigned writes);
    Device& unplugAt(TimeNs time);
    Device& plugIn();
    bool isPlugged() const;

    // Chip state.
    bool isOpen() const;
    ULONG baudRate() const;
    UCHAR latencyTimer() const;
    UCHAR bitMode() const;
    UCHAR directionMask() const;
    /// Pin levels once the bytes the chip holds at the call have reached the
    /// pins (as every reading of the pins and boards): outputs as driven,
    /// inputs from the board.
    UCHAR pins() const;

    // EEPROM.
    std::vector<std::uint8_t> userArea() const;
    DWORD userAreaSize() const;
    Device& setUserArea(const std::vector<std::uint8_t>& bytes);
    Device& setUserAreaSize(DWORD bytes);
    Device& setIdentity(std::int16_t row, std::int16_t kind = 1, std::int16_t version = 1);
    std::string manufacturer() const;
    std::string manufacturerId() const;
    std::string eepromDescription() const;
    std::string eepromSerial() const;
    unsigned eepromPrograms() const;  ///< successful FT_EE_Program calls

    // Boards; calling the wrong one throws std::logic_error.
    StepperView& stepper();
    DcView& dc();

private:
    int m_index;
    StepperView m_stepper;
    DcView m_dc;
};

}  // namespace ftsim

#endif  // FTSIM_DEVICE_H
