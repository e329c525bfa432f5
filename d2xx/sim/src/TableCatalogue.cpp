#include "TableCatalogue.h"

#include <cctype>

namespace ftsim {

namespace {

/// The board of a row whose model has no preset to follow.
struct UnpresetBoard {
    std::size_t row;
    unsigned stepsPerRevolution;
    LinePolarities polarities;
};

// The expert row's table turns 6400 steps with the lines at the device
// layer's defaults, both active high.
constexpr UnpresetBoard kUnpresetBoards[] = {{0, 6400, {true, true}}};

const char kMaker[] = "vorandel";

}  // namespace

CatalogueModel TableCatalogue::model(std::size_t row) {
    const TurntableModel& entry = *TurntableCatalogue::model(row);
    CatalogueModel model{entry.label, entry.driver == TurntableDriver::DcMotor, 0, true, true};
    if (entry.preset) {
        model.countsPerRevolution = entry.preset->countsPerRevolution;
        if (entry.preset->polarities) {
            model.enableActiveHigh = entry.preset->polarities->motorEnableActiveHigh;
            model.clockwiseActiveHigh = entry.preset->polarities->clockwiseActiveHigh;
        }
        return model;
    }
    for (const UnpresetBoard& board : kUnpresetBoards) {
        if (board.row == row) {
            model.countsPerRevolution = board.stepsPerRevolution;
            model.enableActiveHigh = board.polarities.motorEnableActiveHigh;
            model.clockwiseActiveHigh = board.polarities.clockwiseActiveHigh;
        }
    }
    return model;
}

unsigned TableCatalogue::dcCountsPerRevolution() {
    for (std::size_t row = 0; row < ROW_COUNT; ++row) {
        const CatalogueModel built = model(row);
        if (built.dcBoard)
            return built.countsPerRevolution;
    }
    return 0;
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
        const std::string label = TurntableCatalogue::model(row)->label;
        if (key == nameKey(label) || key == nameKey(label.substr(0, label.find('('))))
            return row;
    }
    return std::nullopt;
}

}  // namespace ftsim
