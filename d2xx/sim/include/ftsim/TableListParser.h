// The text that names the simulated turntables, as FTSIM_DEVICES holds it.
#ifndef FTSIM_TABLELISTPARSER_H
#define FTSIM_TABLELISTPARSER_H

#include <string>
#include <vector>

#include "ftsim/Export.h"
#include "ftsim/TableSetup.h"

namespace ftsim {

/// Reads a table list: tables separated by ';', each a catalogue row (0-9)
/// or model name followed by ','-separated settings: `unidentified`,
/// `counts=N` (stepper), `count-time=MS` (DC), `usb-latency=US`, `byte-clock=N`,
/// `fail-open=STATUS`, `trace=PATH`. An empty text names no table.
class FTSIM_API TableListParser {
public:
    struct Result {
        std::vector<TableSetup> tables;  ///< empty when `error` is set
        std::string error;              ///< what is wrong and where; "" when the text is good
        bool ok() const { return error.empty(); }
    };

    static Result parse(const std::string& text);
};

}  // namespace ftsim

#endif  // FTSIM_TABLELISTPARSER_H
