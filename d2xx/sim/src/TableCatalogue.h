// The turntable models the simulator can stand in for.
#ifndef FTSIM_SRC_TABLECATALOGUE_H
#define FTSIM_SRC_TABLECATALOGUE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "CatalogueModel.h"
#include "TurntableCatalogue.h"

namespace ftsim {

/// The plug-in's catalogue rows, in its order and with its labels, each with
/// the board a simulated table of that model needs so that the plug-in's
/// preset for the row drives it the right way.
class TableCatalogue {
public:
    static constexpr std::size_t ROW_COUNT = TurntableCatalogue::ROW_COUNT;
    /// The Classic's motor: time a count takes unless told otherwise.
    static constexpr std::int64_t DEFAULT_DC_COUNT_NS = 20000000;

    /// The model at `row`; `row` must be below ROW_COUNT.
    static CatalogueModel model(std::size_t row);
    /// Counts a revolution of the DC counter board's model.
    static unsigned dcCountsPerRevolution();
    /// The row whose label matches `name` once case, spaces, punctuation and
    /// the maker's name are set aside ("cobalt-medium" is "Vorandel Cobalt Medium").
    static std::optional<std::size_t> rowNamed(const std::string& name);
    /// `label` the way rowNamed compares it: lower-case letters and digits only.
    static std::string nameKey(const std::string& label);
};

}  // namespace ftsim

#endif  // FTSIM_SRC_TABLECATALOGUE_H
