#include "ModelCatalogue.h"

namespace {

// Row order and labels exactly as the plug-in lists them; rows 5 to 8 keep
// the plug-in's own pairing of label and preset.
const ModelRow kRows[ModelCatalogue::ROW_COUNT] = {
    {0, "Vorandel Generic (Expert use)", false, 0, true, true},
    {1, "Vorandel Classic", true, 72, true, true},
    {2, "Vorandel Compact", false, 6400, true, false},
    {3, "Vorandel Cobalt Medium", false, 19520, true, false},
    {4, "Vorandel Cobalt Large", false, 12062, true, false},
    {5, "Vorandel Cobalt Extra Large", false, 13062, true, true},
    {6, "Vorandel Cobalt Large, Series 2", false, 11200, true, true},
    {7, "Vorandel Amber Large", false, 8220, true, false},
    {8, "Vorandel Amber Medium", false, 11520, true, false},
    {9, "Vorandel Amber Extra Large", false, 11520, true, false},
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
