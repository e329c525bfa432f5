#ifndef TURNTABLECTL_MODEL_CATALOGUE_H
#define TURNTABLECTL_MODEL_CATALOGUE_H

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "HxTypes.h"

/// The catalogue rows as the loaded plug-in names them: its labels in row
/// order, so that the host names rows exactly as the plug-in it runs does.
class ModelCatalogue {
public:
    explicit ModelCatalogue(const DevicesNamesList& labels);

    size_t rowCount() const { return m_labels.size(); }
    /// The label of `row`, or nothing when `row` lies outside the catalogue.
    std::optional<std::string> label(long long row) const;
    /// The row labelled `label`, or nothing.
    std::optional<size_t> rowOf(const std::string& label) const;
    /// Throws EXIT_ROW_OUT_OF_RANGE naming `what` when `row` is no row.
    void requireRow(const std::string& what, long long row) const;

private:
    std::vector<std::string> m_labels;
};

#endif  // TURNTABLECTL_MODEL_CATALOGUE_H
