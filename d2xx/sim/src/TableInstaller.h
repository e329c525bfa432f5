// Builds simulated turntables from a table list.
#ifndef FTSIM_SRC_TABLEINSTALLER_H
#define FTSIM_SRC_TABLEINSTALLER_H

#include <vector>

#include "ftsim/TableSetup.h"

namespace ftsim {

class World;

/// Turns table setups into devices of a world, for programs that set the
/// world up with a text (the FTSIM_DEVICES variable, ftsim_configure).
class TableInstaller {
public:
    /// The variable a program with no set-up of its own is configured by.
    static constexpr const char* VARIABLE = "FTSIM_DEVICES";

    /// Adds one device per table to `world`, in list order, and arranges
    /// for the traces the tables name. Call with worldMutex() held.
    static void install(World& world, const std::vector<TableSetup>& tables);
    /// install() with the tables FTSIM_DEVICES names; a malformed value is
    /// reported on stderr and attaches nothing. Call with worldMutex() held.
    static void installFromEnvironment(World& world);
};

}  // namespace ftsim

#endif  // FTSIM_SRC_TABLEINSTALLER_H
