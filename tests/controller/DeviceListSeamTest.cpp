// Discovery against a device list that misbehaves. The two list functions are
// replaced in this program (the executable's definitions win over the D2XX
// library's), while opening and the EEPROM still go to the simulated bench.
#include <gtest/gtest.h>

#include <cstring>

#include "TestController.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/DeviceSetup.h"

namespace {

struct ListBehaviour {
    DWORD reported = 2;  ///< what FT_CreateDeviceInfoList reports
    DWORD filled = 2;    ///< records FT_GetDeviceInfoList claims to have filled
    FT_STATUS status = FT_OK;
    DWORD capacitySeen = 0;  ///< the count passed in by the caller
};

ListBehaviour behaviour;

void fillMatching(FT_DEVICE_LIST_INFO_NODE& record) {
    std::memset(&record, 0, sizeof(record));
    record.Type = FT_DEVICE_232R;
    std::strcpy(record.Description, "FT245R USB FIFO");
}

}  // namespace

extern "C" FT_STATUS FT_CreateDeviceInfoList(LPDWORD count) {
    *count = behaviour.reported;
    return FT_OK;
}

extern "C" FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* records, LPDWORD count) {
    behaviour.capacitySeen = *count;
    // Every allocated record looks like a free, matching device, so reading one
    // that was not reported as filled would list it.
    for (DWORD i = 0; i < behaviour.capacitySeen; ++i)
        fillMatching(records[i]);
    *count = behaviour.filled;
    return behaviour.status;
}

TEST(DeviceListSeam, FailedListingFindsNothingAndOpensNothing) {
    ftsim::Bench bench = ftsim::BenchBuilder()
                             .device(ftsim::DeviceSetup().identity(1))
                             .device(ftsim::DeviceSetup().identity(2))
                             .build();
    behaviour = ListBehaviour{};
    behaviour.status = FT_DEVICE_LIST_NOT_READY;

    EXPECT_TRUE(
        FTDIController::availableDeviceIndexes("245R", FTDIController::UnknownDevice).empty());
    EXPECT_TRUE(
        FTDIController::availableDeviceIndexes("245R", FTDIController::VorandelTurntable).empty());
    EXPECT_EQ(bench.trace().count("FT_Open"), 0u);
}

TEST(DeviceListSeam, ReadsOnlyTheRecordsTheListingFilled) {
    ftsim::Bench bench = ftsim::BenchBuilder()
                             .device(ftsim::DeviceSetup().identity(1))
                             .device(ftsim::DeviceSetup().identity(2))
                             .build();
    behaviour = ListBehaviour{};
    behaviour.filled = 1;

    const FTDIController::DeviceIndexes found =
        FTDIController::availableDeviceIndexes("245R", FTDIController::VorandelTurntable);

    EXPECT_EQ(behaviour.capacitySeen, 2u);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].fdtiIndex, 0);
    EXPECT_EQ(found[0].deviceID, 1);
    EXPECT_EQ(bench.trace().count("FT_Open"), 1u);
}

TEST(DeviceListSeam, ListingThatClaimsMoreThanAllocatedIsCutToTheAllocation) {
    ftsim::Bench bench = ftsim::BenchBuilder()
                             .device(ftsim::DeviceSetup().identity(1))
                             .device(ftsim::DeviceSetup().identity(2))
                             .build();
    behaviour = ListBehaviour{};
    behaviour.filled = 5;

    const FTDIController::DeviceIndexes found =
        FTDIController::availableDeviceIndexes("245R", FTDIController::UnknownDevice);
    EXPECT_EQ(found.size(), 2u);
}
