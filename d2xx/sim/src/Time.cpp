#include "ftsim/Time.h"

#include <chrono>

namespace ftsim {

TimeNs now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace ftsim
