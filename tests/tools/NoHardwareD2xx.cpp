// A stand-in for the vendor's libftd2xx.so on a machine with no FTDI device
// attached: every call answers as the real library does then. It carries
// none of the simulator's functions, so turntablectl takes it for real
// hardware.
#include "ftd2xx.h"

extern "C" {

FT_STATUS FT_CreateDeviceInfoList(LPDWORD lpdwNumDevs) {
    *lpdwNumDevs = 0;
    return FT_OK;
}
FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE*, LPDWORD lpdwNumDevs) {
    *lpdwNumDevs = 0;
    return FT_OK;
}
FT_STATUS FT_Open(int, FT_HANDLE*) {
    return FT_DEVICE_NOT_FOUND;
}
FT_STATUS FT_Close(FT_HANDLE) {
    return FT_INVALID_HANDLE;
}
FT_STATUS FT_SetBaudRate(FT_HANDLE, ULONG) {
    return FT_INVALID_HANDLE;
}
FT_STATUS FT_SetLatencyTimer(FT_HANDLE, UCHAR) {
    return FT_INVALID_HANDLE;
}
FT_STATUS FT_EE_UASize(FT_HANDLE, LPDWORD) {
    return FT_INVALID_HANDLE;
}
FT_STATUS FT_EE_UARead(FT_HANDLE, PUCHAR, DWORD, LPDWORD) {
    return FT_INVALID_HANDLE;
}
FT_STATUS FT_EE_UAWrite(FT_HANDLE, PUCHAR, DWORD) {
    return FT_INVALID_HANDLE;
}
FT_STATUS FT_EE_Read(FT_HANDLE, FT_PROGRAM_DATA*) {
    return FT_INVALID_HANDLE;
}
FT_STATUS FT_EE_Program(FT_HANDLE, FT_PROGRAM_DATA*) {
    return FT_INVALID_HANDLE;
}
FT_STATUS FT_SetBitMode(FT_HANDLE, UCHAR, UCHAR) {
    return FT_INVALID_HANDLE;
}
FT_STATUS FT_GetBitMode(FT_HANDLE, PUCHAR) {
    return FT_INVALID_HANDLE;
}
FT_STATUS FT_Purge(FT_HANDLE, ULONG) {
    return FT_INVALID_HANDLE;
}
FT_STATUS FT_Write(FT_HANDLE, LPVOID, DWORD, LPDWORD) {
    return FT_INVALID_HANDLE;
}
FT_STATUS FT_Read(FT_HANDLE, LPVOID, DWORD, LPDWORD) {
    return FT_INVALID_HANDLE;
}

}  // extern "C"
