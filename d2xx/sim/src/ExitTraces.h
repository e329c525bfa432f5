// Pin traces a table list asked for, written when the program ends.
#ifndef FTSIM_SRC_EXITTRACES_H
#define FTSIM_SRC_EXITTRACES_H

namespace ftsim {

/// Writes the world's exitTraces as VCD files at exit (or when the
/// simulator is unloaded), so that a host that knows nothing of the
/// simulator still leaves its port's history behind.
class ExitTraces {
public:
    /// Makes sure the writer runs at exit; the first call registers it.
    /// Call with worldMutex() held, after the world exists.
    static void arm();

private:
    static void writeAll();
};

}  // namespace ftsim

#endif  // FTSIM_SRC_EXITTRACES_H
