#ifndef TURNTABLECTL_MODEL_CATALOGUE_H
#define TURNTABLECTL_MODEL_CATALOGUE_H

#include <cstddef>
#include <optional>
#include <string>

/// What the host knows about the plug-in's ten catalogue rows: the label the
/// plug-in lists for each, to name rows before anything is attached. The
/// plug-in keeps the presets, and the simulator the boards it builds for them.
struct ModelRow {
    size_t row;
    const char* label;
};

class ModelCatalogue {
public:
    static constexpr size_t ROW_COUNT = 10;
    /// The identified Cobalt Medium: the simulated turntable when none is named.
    static constexpr size_t DEFAULT_SIMULATED_ROW = 3;

    /// The row, or nothing when `row` lies outside the catalogue.
    static std::optional<ModelRow> row(size_t row);
    /// The row whose label is `label`, or nothing.
    static std::optional<ModelRow> rowByLabel(const std::string& label);
    static bool isValidRow(long long row) { return row >= 0 && row < long(ROW_COUNT); }
};

#endif  // TURNTABLECTL_MODEL_CATALOGUE_H
