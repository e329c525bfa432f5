#include "TableCatalogue.h"

#include <cctype>

namespace ftsim {

namespace {

// Rows 5 to 8 keep the plug-in's own pairing of label and preset. The expert
// row has no preset; its simulated board turns 6400 steps.
const CatalogueModel kModels[TableCatalogue::ROW_COUNT] = {
    {"Vorandel Generic (Expert use)", false, 6400, true, true},
    {"Vorandel Classic", true, 72, true, true},
    {"Vorandel Compact", false, 6400, true, false},
    {"Vorandel Cobalt Medium", false, 19520, true, false},
    {"Vorandel Cobalt Large", false, 12062, true, false},
    {"Vorandel Cobalt Extra Large", false, 13062, true, true},
    {"Vorandel Cobalt Large, Series 2", false, 11200, true, true},
    {"Vorandel Amber Large", false, 8220, true, false},
    {"Vorandel Amber Medium", false, 11520, true, false},
    {"Vorandel Amber Extra Large", false, 11520, true, false},
};

const char kMaker[] = "vorandel";

}  // namespace

const CatalogueModel& TableCatalogue::model(std::size_t row) {
    return kModels[row];
}

std::string TableCatalogue::nameKey(const std::string& label) {
    std::string key;
    for (const char c : label)
        if (std::isalnum(static_cast<unsigned char>(c)))
            key += char(std::tolower(static_cast<unsigned char>(c)));
    if (key.compare(0, sizeof kMaker - 1, kMaker) == 0)
        key.erase(0, sizeof kMaker - 1);
    return key;
}

std::optional<std::size_t> TableCatalogue::rowNamed(const std::string& name) {
    const std::string key = nameKey(name);
    if (key.empty())
        return std::nullopt;
    for (std::size_t row = 0; row < ROW_COUNT; ++row) {
        // A remark in parentheses ("Expert use") may be left out.
        const std::string label = kModels[row].label;
        if (key == nameKey(label) || key == nameKey(label.substr(0, label.find('('))))
            return row;
    }
    return std::nullopt;
}

}  // namespace ftsim
