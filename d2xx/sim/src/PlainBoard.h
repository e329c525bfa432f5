// No board at all.
#ifndef FTSIM_SRC_PLAINBOARD_H
#define FTSIM_SRC_PLAINBOARD_H

#include "Board.h"

namespace ftsim {

/// A chip with nothing attached: outputs go nowhere, inputs read 0.
class PlainBoard : public Board {
public:
    void onLines(std::uint8_t, std::uint8_t, TimeNs) override {}
    const char* pinName(int bit) const override {
        static const char* const names[8] = {"d0", "d1", "d2", "d3", "d4", "d5", "d6", "d7"};
        return names[bit & 7];
    }
};

}  // namespace ftsim

#endif  // FTSIM_SRC_PLAINBOARD_H
