#ifndef TURNTABLECTL_MODEL_CATALOGUE_H
#define TURNTABLECTL_MODEL_CATALOGUE_H

#include <cstddef>
#include <optional>
#include <string>

/// What the host knows about the plug-in's ten catalogue rows: the label the
/// plug-in lists for each, and the board behind it. The plug-in keeps the
/// authoritative presets; turntablectl needs this to build a matching
/// simulated turntable and to name rows before anything is attached.
struct ModelRow {
    size_t row;
    const char* label;
    bool dcBoard;                  ///< the Classic counter board instead of a stepper board
    unsigned countsPerRevolution;  ///< as preset by the plug-in; 0 for the expert row
    bool motorEnableActiveHigh;
    bool clockwiseActiveHigh;
};

class ModelCatalogue {
public:
    static constexpr size_t ROW_COUNT = 10;
    /// The identified Cobalt Medium: the simulated turntable when none is named.
    static constexpr size_t DEFAULT_SIMULATED_ROW = 3;
    /// Steps a turn of the simulated board behind the expert row, which has
    /// no preset of its own.
    static constexpr unsigned EXPERT_SIMULATED_COUNTS = 6400;

    /// The row, or nothing when `row` lies outside the catalogue.
    static std::optional<ModelRow> row(size_t row);
    /// The row whose label is `label`, or nothing.
    static std::optional<ModelRow> rowByLabel(const std::string& label);
    static bool isValidRow(long long row) { return row >= 0 && row < long(ROW_COUNT); }
};

#endif  // TURNTABLECTL_MODEL_CATALOGUE_H
