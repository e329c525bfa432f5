#ifndef LISTED_CHIP_H
#define LISTED_CHIP_H

#include <cstdint>
#include <string>

/// One chip of the D2XX device list whose description matched, as
/// ChipListing found it.
struct ListedChip {
    int32_t deviceIndex = -1;  ///< index in the D2XX device list, as FT_Open takes it
    std::string serial;
    std::string description;
    /// writtenId of its identity record of the asked kind; -1: none read.
    int32_t writtenId = -1;
    /// 0 when it could be opened to read the record; else the D2XX status
    /// of FT_Open, or FT_DEVICE_NOT_OPENED for a chip another handle holds.
    unsigned long openStatus = 0;
    bool heldElsewhere = false;  ///< the list marks it as open by some handle
};

#endif  // LISTED_CHIP_H
