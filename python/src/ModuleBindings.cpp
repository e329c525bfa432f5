// The extension module _vorandel_turntable; the package vorandel_turntable
// (vorandel_turntable/__init__.py) adds the spin iterators and the asyncio
// forms on top of it.
#include <dlfcn.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "ModuleHost.h"
#include "PluginLocation.h"
#include "Table.h"
#include "TurntableErrors.h"

namespace py = pybind11;

// Set by the build: the library directory relative to the directory the
// module is installed in.
#ifndef TT_MODULE_TO_LIBDIR
#define TT_MODULE_TO_LIBDIR "../../.."
#endif

namespace {

// The installed layout is read from this module's own directory: the
// program is the Python interpreter, which lies anywhere.
void anchorAtThisModule() {
    Dl_info info = {};
    if (dladdr(reinterpret_cast<void*>(&anchorAtThisModule), &info) == 0 ||
        info.dli_fname == nullptr) {
        return;
    }
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved) == nullptr) {
        return;
    }
    const std::string path = resolved;
    PluginLocation::anchorAt(path.substr(0, path.find_last_of('/')), TT_MODULE_TO_LIBDIR);
}

std::string tableInfoRepr(const TableInfo& info) {
    const auto text = [](const std::optional<std::string>& value) {
        return value ? std::string(py::repr(py::str(*value))) : std::string("None");
    };
    return "TableInfo(index=" + std::to_string(info.index) + ", serial=" + text(info.serial) +
           ", name=" + text(info.name) +
           ", row=" + (info.row ? std::to_string(*info.row) : std::string("None")) +
           ", identified=" + (info.identified ? "True" : "False") +
           ", openable=" + (info.openable ? "True" : "False") + ", problem=" + text(info.problem) +
           ")";
}

}  // namespace

PYBIND11_MODULE(_vorandel_turntable, m) {
    m.doc() = "The Vorandel turntable plug-in, driven through the host's view.";
    anchorAtThisModule();

    // Translators are tried newest first: the base class is registered first.
    auto& turntableError = py::register_exception<TurntableError>(m, "TurntableError");
    turntableError.attr("__doc__") =
        "A failure the turntable or the plug-in reported, with its message.";
    py::register_exception<NoTableError>(m, "NoTableError", turntableError.ptr())
        .attr("__doc__") = "No turntable was found, or none at the index asked for.";
    py::register_exception<OpenError>(m, "OpenError", turntableError.ptr()).attr("__doc__") =
        "The turntable was found but could not be opened.";
    py::register_exception<MoveRefusedError>(m, "MoveRefusedError", turntableError.ptr())
        .attr("__doc__") = "The plug-in refused a move or a shutter release.";
    py::register_exception<MoveFailedError>(m, "MoveFailedError", turntableError.ptr())
        .attr("__doc__") = "A move ended without the turntable doing it: the board did not respond.";
    const py::tuple timeoutBases = py::make_tuple(turntableError, py::handle(PyExc_TimeoutError));
    py::register_exception<MoveTimeout>(m, "MoveTimeout", timeoutBases.ptr()).attr("__doc__") =
        "A blocking move ran past its timeout; the turntable was stopped.";

    py::class_<TableInfo>(m, "TableInfo", "An attached turntable as tables() lists it.")
        .def_readonly("name", &TableInfo::name,
                      "The identified model's name; None without identity record.")
        .def_readonly("row", &TableInfo::row,
                      "The model's catalogue row; None without identity record.")
        .def_readonly("identified", &TableInfo::identified,
                      "Whether the table carries an identity record.")
        .def_readonly("index", &TableInfo::index, "Its position in the list, for open(index=).")
        .def_readonly("serial", &TableInfo::serial,
                      "The chip's USB serial number, for open(serial=).")
        .def_readonly("description", &TableInfo::description, "The chip's USB description.")
        .def_readonly("openable", &TableInfo::openable,
                      "Whether it can be opened now (False also for the table this process "
                      "holds open).")
        .def_readonly("problem", &TableInfo::problem,
                      "Why it cannot be opened, for a person; None when it can.")
        .def("__repr__", &tableInfoRepr);

    m.def("_tables", &Table::tables, py::arg("d2xx") = py::none());
    m.def("_catalogue", &Table::catalogue, py::arg("d2xx") = py::none());
    m.def("_shutdown", &ModuleHost::shutdown);

    py::class_<Table>(m, "_Table")
        .def(py::init<std::optional<size_t>, std::optional<size_t>,
                      const std::optional<std::string>&, const std::optional<std::string>&>(),
             py::arg("model_row"), py::arg("index"), py::arg("serial"), py::arg("d2xx"))
        .def("close", &Table::close,
             "Stop a move under way and close the table; nothing happens when it is closed.")
        .def_property_readonly("closed", &Table::closed, "Whether close() has run.")
        .def_property_readonly("info", &Table::info,
                               "The table as tables() listed it when it was opened.")
        .def_property_readonly("name", &Table::name, "The name of the model it was opened as.")
        .def_property_readonly("row", &Table::modelRow,
                               "The catalogue row of the model it was opened as.")
        .def_property_readonly("can_turn_counterclockwise", &Table::canTurnCounterclockwise,
                               "False for the Classic, which turns clockwise only and has no "
                               "camera lines.")
        .def_property_readonly("d2xx", &Table::d2xxName,
                               "The D2XX library in use: 'simulator', 'libftdi1' or "
                               "'vendor library'.")
        .def_property("counts_per_revolution", &Table::countsPerRevolution,
                      &Table::setCountsPerRevolution,
                      "Motor counts a whole turn (the model's preset unless set).")
        .def_property("speed", &Table::speed, &Table::setSpeed,
                      "Milliseconds each stepper pulse is held high (smaller is faster).")
        .def_property_readonly("position", &Table::position)
        .def_property_readonly("_last_move_outcome", &Table::lastMoveOutcome)
        .def_property_readonly("moving", &Table::moving, "Whether a move is under way.")
        .def("rotate", &Table::rotate, py::arg("degrees"), py::arg("counts"), py::arg("to"),
             py::arg("continuous"), py::arg("wait"), py::arg("timeout"))
        .def("wait", &Table::wait, py::arg("timeout") = py::none())
        .def("stop", &Table::stop)
        .def("set_origin", &Table::setOrigin)
        .def("shutter", &Table::shutter)
        .def("_spin_plan", &Table::spinPlan)
        .def("_spin_begin", &Table::spinBegin)
        .def("_spin_move", &Table::spinMove)
        .def("_spin_start_move", &Table::spinStartMove)
        .def("_spin_move_ended", &Table::spinMoveEnded)
        .def("_spin_end", &Table::spinEnd);
}
