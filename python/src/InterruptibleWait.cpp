#include "InterruptibleWait.h"

#include <pybind11/pybind11.h>

namespace py = pybind11;

namespace {

// Leaves the session's wait from its tick; never seen outside this file.
struct SignalRaised {};

}  // namespace

HostSession::Wait InterruptibleWait::run(const Wait& wait, const std::function<void()>& stop) {
    HostSession::Wait end = HostSession::Wait::Stopped;
    bool raised = false;
    {
        py::gil_scoped_release release;
        try {
            end = wait([] {
                py::gil_scoped_acquire acquire;
                // The raised exception stays set on this thread's state
                // until it is thrown below.
                if (PyErr_CheckSignals() != 0) {
                    throw SignalRaised();
                }
            });
        } catch (const SignalRaised&) {
            raised = true;
            stop();
        }
    }
    if (raised) {
        throw py::error_already_set();
    }
    return end;
}
