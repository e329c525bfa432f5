#ifndef DEVICE_PORT_H
#define DEVICE_PORT_H

#include <cstddef>
#include <functional>
#include <mutex>

#include "ftd2xx.h"

/// The data port of one FT245R in bit-bang mode: the D2XX handle, the shadow
/// of the wanted output levels, and the lock that serialises every access to
/// them. Each operation takes the lock for itself alone, never across a
/// wait, so a move's pulses are never held up for longer than one access.
/// It reports what the chip answered; what a failure means is the caller's.
class DevicePort {
public:
    /// The handle of a device just opened; the shadow keeps its value.
    void attach(FT_HANDLE handle);
    /// FT_Close on the handle (also on none, which answers FT_INVALID_HANDLE
    /// and is no fault worth a record), then forgets it.
    void close();
    FT_HANDLE handle() const;

    /// (packet AND NOT mask) OR (mask AND value).
    static unsigned char withBits(unsigned char packet, unsigned char mask, unsigned char value);
    /// Updates the shadow only; nothing is sent.
    void setBits(unsigned char mask, unsigned char value);
    unsigned char shadow() const;

    /// Purges the transmit buffer and writes one byte; true when exactly that
    /// byte was written. The shadow is not changed.
    bool write(unsigned char byte);
    /// write(shadow).
    bool writeShadow();
    /// setBits(mask, value) and write(shadow), in one access.
    bool writeShadowWithBits(unsigned char mask, unsigned char value);
    /// Writes `count` bytes in one transfer, without a purge, so that the
    /// chip clocks them out one byte period apart; true when every byte was
    /// taken. The write blocks while the chip's buffer is full, for most of
    /// a move, so the lock is held only to read the handle: the owner keeps
    /// the handle open until the writer is done (a move, or exclusive work).
    bool writeStream(const unsigned char* bytes, size_t count);
    /// FT_SetBaudRate: the rate at which the chip clocks bytes out in
    /// bit-bang mode. False when the call fails.
    bool setBaudRate(unsigned long baudRate);
    /// Purges the receive buffer and reads one fresh sample; *ok tells
    /// whether the read succeeded. Returns the byte AND mask, 0 on failure.
    unsigned char read(unsigned char mask, bool* ok);
    /// FT_SetBitMode(handle, mask, mode).
    void setBitMode(unsigned char mask, unsigned char mode);
    /// Runs one D2XX call on the held handle under the lock.
    FT_STATUS call(const std::function<FT_STATUS(FT_HANDLE)>& operation);

private:
    bool writeLocked(unsigned char byte);

    mutable std::mutex m_mutex;
    /// The open device, null when none.
    FT_HANDLE m_handle = nullptr;
    /// Shadow of the wanted output levels.
    unsigned char m_packet = 0;
};

#endif  // DEVICE_PORT_H
