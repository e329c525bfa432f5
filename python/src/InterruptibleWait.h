#ifndef VORANDEL_PY_INTERRUPTIBLE_WAIT_H
#define VORANDEL_PY_INTERRUPTIBLE_WAIT_H

#include <functional>

#include "HostSession.h"

/// A blocking wait of the host session as a Python call makes it: the GIL is
/// released for its whole length, so other Python threads run and the
/// plug-in's worker never waits for Python, and at every tick of the wait the
/// GIL is taken just long enough to run Python's signal handlers. When a
/// handler raises (Ctrl-C: KeyboardInterrupt), `stop` runs first, still
/// without the GIL, and then the exception is thrown as
/// pybind11::error_already_set.
class InterruptibleWait {
public:
    using Tick = std::function<void()>;
    using Wait = std::function<HostSession::Wait(const Tick&)>;

    /// Called with the GIL held.
    static HostSession::Wait run(const Wait& wait, const std::function<void()>& stop);
};

#endif  // VORANDEL_PY_INTERRUPTIBLE_WAIT_H
