#include "ExitTraces.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "World.h"
#include "ftsim/Trace.h"

namespace ftsim {

void ExitTraces::arm() {
    // Registered after the world and its lock came to be, so it runs before
    // they are destroyed.
    static const bool registered = std::atexit(&ExitTraces::writeAll) == 0;
    if (!registered)
        std::fputs("ftsim: cannot arrange for the port traces to be written at exit\n", stderr);
}

void ExitTraces::writeAll() {
    std::vector<std::pair<int, std::string>> traces;
    {
        std::lock_guard<std::mutex> lock(worldMutex());
        traces = world().exitTraces;
    }
    for (const auto& trace : traces) {
        if (!Trace().writeVcd(trace.second, trace.first))
            std::fprintf(stderr, "ftsim: cannot write the port trace of device %d to %s\n",
                         trace.first, trace.second.c_str());
    }
}

}  // namespace ftsim
