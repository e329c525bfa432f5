#ifndef CHIP_LISTING_H
#define CHIP_LISTING_H

#include <cstdint>
#include <vector>

#include "ListedChip.h"

/// Every attached chip whose description holds a name, in D2XX list order,
/// with its serial and description, and the identity record of one device
/// kind where the chip could be opened to read it. Unlike discovery, which
/// keeps only the chips it can use, the listing keeps the ones it cannot,
/// so that a host can say why.
class ChipListing {
public:
    /// Opens each free matching chip briefly to read its record; a chip that
    /// a handle holds is not touched (one of another process shows no
    /// description in the list, so it never matches).
    static std::vector<ListedChip> list(const char* chipName, int32_t deviceKind);
};

#endif  // CHIP_LISTING_H
