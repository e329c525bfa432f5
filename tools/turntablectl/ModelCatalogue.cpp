#include "ModelCatalogue.h"

namespace {

// Row order and labels exactly as the plug-in lists them; rows 5 to 8 keep
// the plug-in's own pairing of label and preset.
const ModelRow kRows[ModelCatalogue::ROW_COUNT] = {
    {0, "Vorandel Generic (Expert use)"},
    {1, "Vorandel Classic"},
    {2, "Vorandel Compact"},
    {3, "Vorandel Cobalt Medium"},
    {4, "Vorandel Cobalt Large"},
    {5, "Vorandel Cobalt Extra Large"},
    {6, "Vorandel Cobalt Large, Series 2"},
    {7, "Vorandel Amber Large"},
    {8, "Vorandel Amber Medium"},
    {9, "Vorandel Amber Extra Large"},
};

}  // namespace

std::optional<ModelRow> ModelCatalogue::row(size_t row) {
    if (row >= ROW_COUNT) {
        return std::nullopt;
    }
    return kRows[row];
}

std::optional<ModelRow> ModelCatalogue::rowByLabel(const std::string& label) {
    for (const ModelRow& r : kRows) {
        if (label == r.label) {
            return r;
        }
    }
    return std::nullopt;
}
