// One FT245R opened through libftdi1.
#ifndef D2XX_FTDI_FTDICHIP_H
#define D2XX_FTDI_FTDICHIP_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "DeviceIdentity.h"
#include "EepromImage.h"
#include "ftd2xx.h"

struct ftdi_context;

namespace ftdi_backend {

/// A device opened by its list index, with its own libftdi1 context: every
/// D2XX call on a handle becomes libftdi1 calls under the chip's lock, and
/// every failure of the transfers underneath answers FT_IO_ERROR, as the
/// vendor's library does for a chip that went away.
class FtdiChip {
public:
    /// Opens list position `index`. FT_DEVICE_NOT_FOUND past the end of the
    /// list, FT_DEVICE_NOT_OPENED when the chip cannot be claimed (another
    /// process holds it) or set up.
    static FT_STATUS open(int index, std::unique_ptr<FtdiChip>* chip);
    ~FtdiChip();
    FtdiChip(const FtdiChip&) = delete;
    FtdiChip& operator=(const FtdiChip&) = delete;

    const DeviceIdentity& identity() const { return m_identity; }

    /// Releases the chip; FT_IO_ERROR when it had already gone.
    FT_STATUS close();
    FT_STATUS setBaudRate(ULONG baudRate);
    FT_STATUS setLatencyTimer(UCHAR milliseconds);
    FT_STATUS setBitMode(UCHAR mask, UCHAR mode);
    FT_STATUS pins(UCHAR* levels);
    FT_STATUS purge(ULONG mask);
    FT_STATUS write(const std::uint8_t* data, DWORD count, DWORD* written);
    FT_STATUS read(std::uint8_t* data, DWORD count, DWORD* got);

    FT_STATUS userAreaSize(DWORD* size);
    FT_STATUS readUserArea(std::uint8_t* data, DWORD count, DWORD* got);
    FT_STATUS writeUserArea(const std::uint8_t* data, DWORD count);
    FT_STATUS readProgramData(FT_PROGRAM_DATA* data);
    FT_STATUS program(const FT_PROGRAM_DATA* data);

private:
    FtdiChip(ftdi_context* context, const DeviceIdentity& identity);

    /// The image, read from the chip once per open.
    FT_STATUS loadImage();
    /// Writes every word of `image` that differs from the chip's copy.
    FT_STATUS storeImage(const EepromImage& image);

    std::mutex m_mutex;
    ftdi_context* m_context;
    DeviceIdentity m_identity;
    bool m_bitBang = false;
    std::optional<EepromImage> m_image;
};

}  // namespace ftdi_backend

#endif  // D2XX_FTDI_FTDICHIP_H
