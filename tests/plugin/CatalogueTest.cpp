// The model catalogue: which model each row opens and back.
#include <gtest/gtest.h>

#include <cstddef>
#include <limits>

#include "HxVorandelTurntableControl.h"

using Control = HxVorandelTurntableControl;

namespace {

const Control::TurntableID kModelOfRow[10] = {
    Control::Generic_ExpertUse, Control::Classic,     Control::Compact,   Control::Cobalt_M,
    Control::Cobalt_L,          Control::Cobalt_L_S2, Control::Cobalt_XL, Control::Amber_M,
    Control::Amber_L,           Control::Amber_XL,
};

}  // namespace

TEST(TurntableCatalogue, EachRowOpensItsModelWithRowsFiveToEightCrossed) {
    for (size_t row = 0; row < 10; ++row) {
        EXPECT_EQ(kModelOfRow[row], Control::indexToTurntableId(row)) << "row " << row;
    }
    EXPECT_EQ(Control::Cobalt_L_S2, Control::indexToTurntableId(5));
    EXPECT_EQ(Control::Cobalt_XL, Control::indexToTurntableId(6));
    EXPECT_EQ(Control::Amber_M, Control::indexToTurntableId(7));
    EXPECT_EQ(Control::Amber_L, Control::indexToTurntableId(8));
}

TEST(TurntableCatalogue, RowsBeyondTheCatalogueOpenTheGenericModel) {
    EXPECT_EQ(Control::Generic_ExpertUse, Control::indexToTurntableId(10));
    EXPECT_EQ(Control::Generic_ExpertUse, Control::indexToTurntableId(42));
    EXPECT_EQ(Control::Generic_ExpertUse,
              Control::indexToTurntableId(std::numeric_limits<size_t>::max()));
}

TEST(TurntableCatalogue, EveryModelMapsBackToItsRow) {
    for (size_t row = 0; row < 10; ++row) {
        EXPECT_EQ(row, Control::turntableIdToIndex(kModelOfRow[row])) << "row " << row;
    }
    EXPECT_EQ(6u, Control::turntableIdToIndex(Control::Cobalt_XL));
}

TEST(TurntableCatalogue, ValuesThatNameNoModelMapToRowZero) {
    EXPECT_EQ(0u, Control::turntableIdToIndex(static_cast<Control::TurntableID>(5)));
    EXPECT_EQ(0u, Control::turntableIdToIndex(static_cast<Control::TurntableID>(-1)));
    EXPECT_EQ(0u, Control::turntableIdToIndex(static_cast<Control::TurntableID>(2102)));
}
