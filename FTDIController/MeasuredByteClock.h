#ifndef MEASURED_BYTE_CLOCK_H
#define MEASURED_BYTE_CLOCK_H

/// How fast a chip clocks bytes out to its pins in bit-bang mode, as a driver
/// measured it from the writes of a stream. All zero: not measured.
struct MeasuredByteClock {
    /// Bytes the chip clocked out a second.
    double bytesPerSecond = 0.0;
    /// The baud rate it ran at meanwhile.
    unsigned long baudRate = 0;
    /// Bytes a second per baud that the driver takes the chip to clock from
    /// then on: a known multiple (16, the published figure, or 4) when the
    /// measurement is within 10 % of it, else the measured ratio.
    double bytesPerBaud = 0.0;

    bool measured() const { return bytesPerSecond > 0.0; }
};

#endif  // MEASURED_BYTE_CLOCK_H
