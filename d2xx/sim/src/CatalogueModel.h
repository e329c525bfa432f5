// What the simulator builds for one row of the turntable catalogue.
#ifndef FTSIM_SRC_CATALOGUEMODEL_H
#define FTSIM_SRC_CATALOGUEMODEL_H

namespace ftsim {

/// One model as the plug-in lists it, and the board a simulated table of
/// that model carries: its kind, its counts a turn and the polarities the
/// plug-in's preset for the model drives.
struct CatalogueModel {
    const char* label;
    bool dcBoard;                  ///< the Classic's counter board instead of a stepper board
    unsigned countsPerRevolution;  ///< the preset's; for the expert row, the simulated board's
    bool enableActiveHigh;
    bool clockwiseActiveHigh;
};

}  // namespace ftsim

#endif  // FTSIM_SRC_CATALOGUEMODEL_H
