// The subset of the FTDI D2XX API that this project uses, declared by the
// project itself and ABI-compatible with the vendor's Linux x86-64 library
// (libftd2xx.so). The vendor's library, the project's simulator or any other
// implementation can stand behind these declarations unchanged.
#ifndef FTD2XX_H
#define FTD2XX_H

#ifdef __cplusplus
#include <cstddef>
#else
#include <stddef.h>
#endif

#if defined(__GNUC__)
#define FTD2XX_API __attribute__((visibility("default")))
#else
#define FTD2XX_API
#endif

// Vendor WinTypes on Linux x86-64: ULONG and LONG are 32 bits wide here.
typedef unsigned int DWORD;
typedef unsigned int ULONG;
typedef unsigned int UINT;
typedef unsigned int BOOL;
typedef unsigned int LONG;
typedef unsigned short WORD;
typedef unsigned short USHORT;
typedef unsigned char UCHAR;
typedef unsigned char BYTE;
typedef DWORD* LPDWORD;
typedef UCHAR* PUCHAR;
typedef void* PVOID;
typedef void* LPVOID;
typedef char* LPSTR;

typedef PVOID FT_HANDLE;
typedef ULONG FT_STATUS;

enum {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_DEVICE_NOT_OPENED_FOR_ERASE = 8,
    FT_DEVICE_NOT_OPENED_FOR_WRITE = 9,
    FT_FAILED_TO_WRITE_DEVICE = 10,
    FT_EEPROM_READ_FAILED = 11,
    FT_EEPROM_WRITE_FAILED = 12,
    FT_EEPROM_ERASE_FAILED = 13,
    FT_EEPROM_NOT_PRESENT = 14,
    FT_EEPROM_NOT_PROGRAMMED = 15,
    FT_INVALID_ARGS = 16,
    FT_NOT_SUPPORTED = 17,
    FT_OTHER_ERROR = 18,
    FT_DEVICE_LIST_NOT_READY = 19
};

// Device-list record flags.
#define FT_FLAGS_OPENED 1
#define FT_FLAGS_HISPEED 2

// FT_Purge masks.
#define FT_PURGE_RX 1
#define FT_PURGE_TX 2

// FT_SetBitMode modes.
#define FT_BITMODE_RESET 0x00
#define FT_BITMODE_ASYNC_BITBANG 0x01
#define FT_BITMODE_SYNC_BITBANG 0x04

// Device type of an FT232R / FT245R in the device list.
#define FT_DEVICE_232R 5

typedef struct _ft_device_list_info_node {
    ULONG Flags;
    ULONG Type;
    ULONG ID;
    DWORD LocId;
    char SerialNumber[16];
    char Description[64];
    FT_HANDLE ftHandle;
} FT_DEVICE_LIST_INFO_NODE;

typedef struct ft_program_data {
    DWORD Signature1;  // 0x00000000
    DWORD Signature2;  // 0xffffffff
    DWORD Version;     // 0 to 5
    WORD VendorId;
    WORD ProductId;
    char* Manufacturer;
    char* ManufacturerId;
    char* Description;
    char* SerialNumber;
    WORD MaxPower;
    WORD PnP;
    WORD SelfPowered;
    WORD RemoteWakeup;
    // Rev4
    UCHAR Rev4;
    UCHAR IsoIn;
    UCHAR IsoOut;
    UCHAR PullDownEnable;
    UCHAR SerNumEnable;
    UCHAR USBVersionEnable;
    WORD USBVersion;
    // Rev5 (FT2232)
    UCHAR Rev5;
    UCHAR IsoInA;
    UCHAR IsoInB;
    UCHAR IsoOutA;
    UCHAR IsoOutB;
    UCHAR PullDownEnable5;
    UCHAR SerNumEnable5;
    UCHAR USBVersionEnable5;
    WORD USBVersion5;
    UCHAR AIsHighCurrent;
    UCHAR BIsHighCurrent;
    UCHAR IFAIsFifo;
    UCHAR IFAIsFifoTar;
    UCHAR IFAIsFastSer;
    UCHAR AIsVCP;
    UCHAR IFBIsFifo;
    UCHAR IFBIsFifoTar;
    UCHAR IFBIsFastSer;
    UCHAR BIsVCP;
    // Rev6 (FT232R / FT245R)
    UCHAR UseExtOsc;
    UCHAR HighDriveIOs;
    UCHAR EndpointSize;
    UCHAR PullDownEnableR;
    UCHAR SerNumEnableR;
    UCHAR InvertTXD;
    UCHAR InvertRXD;
    UCHAR InvertRTS;
    UCHAR InvertCTS;
    UCHAR InvertDTR;
    UCHAR InvertDSR;
    UCHAR InvertDCD;
    UCHAR InvertRI;
    UCHAR Cbus0;
    UCHAR Cbus1;
    UCHAR Cbus2;
    UCHAR Cbus3;
    UCHAR Cbus4;
    UCHAR RIsD2XX;
    // Rev7 (FT2232H)
    UCHAR PullDownEnable7;
    UCHAR SerNumEnable7;
    UCHAR ALSlowSlew;
    UCHAR ALSchmittInput;
    UCHAR ALDriveCurrent;
    UCHAR AHSlowSlew;
    UCHAR AHSchmittInput;
    UCHAR AHDriveCurrent;
    UCHAR BLSlowSlew;
    UCHAR BLSchmittInput;
    UCHAR BLDriveCurrent;
    UCHAR BHSlowSlew;
    UCHAR BHSchmittInput;
    UCHAR BHDriveCurrent;
    UCHAR IFAIsFifo7;
    UCHAR IFAIsFifoTar7;
    UCHAR IFAIsFastSer7;
    UCHAR AIsVCP7;
    UCHAR IFBIsFifo7;
    UCHAR IFBIsFifoTar7;
    UCHAR IFBIsFastSer7;
    UCHAR BIsVCP7;
    UCHAR PowerSaveEnable;
    // Rev8 (FT4232H)
    UCHAR PullDownEnable8;
    UCHAR SerNumEnable8;
    UCHAR ASlowSlew;
    UCHAR ASchmittInput;
    UCHAR ADriveCurrent;
    UCHAR BSlowSlew;
    UCHAR BSchmittInput;
    UCHAR BDriveCurrent;
    UCHAR CSlowSlew;
    UCHAR CSchmittInput;
    UCHAR CDriveCurrent;
    UCHAR DSlowSlew;
    UCHAR DSchmittInput;
    UCHAR DDriveCurrent;
    UCHAR ARIIsTXDEN;
    UCHAR BRIIsTXDEN;
    UCHAR CRIIsTXDEN;
    UCHAR DRIIsTXDEN;
    UCHAR AIsVCP8;
    UCHAR BIsVCP8;
    UCHAR CIsVCP8;
    UCHAR DIsVCP8;
    // Rev9 (FT232H)
    UCHAR PullDownEnableH;
    UCHAR SerNumEnableH;
    UCHAR ACSlowSlewH;
    UCHAR ACSchmittInputH;
    UCHAR ACDriveCurrentH;
    UCHAR ADSlowSlewH;
    UCHAR ADSchmittInputH;
    UCHAR ADDriveCurrentH;
    UCHAR Cbus0H;
    UCHAR Cbus1H;
    UCHAR Cbus2H;
    UCHAR Cbus3H;
    UCHAR Cbus4H;
    UCHAR Cbus5H;
    UCHAR Cbus6H;
    UCHAR Cbus7H;
    UCHAR Cbus8H;
    UCHAR Cbus9H;
    UCHAR IsFifoH;
    UCHAR IsFifoTarH;
    UCHAR IsFastSerH;
    UCHAR IsFT1248H;
    UCHAR FT1248CpolH;
    UCHAR FT1248LsbH;
    UCHAR FT1248FlowControlH;
    UCHAR IsVCPH;
    UCHAR PowerSaveEnableH;
} FT_PROGRAM_DATA, *PFT_PROGRAM_DATA;

#ifdef __cplusplus
extern "C" {
#endif

FTD2XX_API FT_STATUS FT_CreateDeviceInfoList(LPDWORD lpdwNumDevs);
FTD2XX_API FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* pDest, LPDWORD lpdwNumDevs);
FTD2XX_API FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* pHandle);
FTD2XX_API FT_STATUS FT_Close(FT_HANDLE ftHandle);
FTD2XX_API FT_STATUS FT_SetBaudRate(FT_HANDLE ftHandle, ULONG BaudRate);
FTD2XX_API FT_STATUS FT_SetLatencyTimer(FT_HANDLE ftHandle, UCHAR ucLatency);
FTD2XX_API FT_STATUS FT_EE_UASize(FT_HANDLE ftHandle, LPDWORD lpdwSize);
FTD2XX_API FT_STATUS FT_EE_UARead(FT_HANDLE ftHandle, PUCHAR pucData, DWORD dwDataLen,
                                  LPDWORD lpdwBytesRead);
FTD2XX_API FT_STATUS FT_EE_UAWrite(FT_HANDLE ftHandle, PUCHAR pucData, DWORD dwDataLen);
FTD2XX_API FT_STATUS FT_EE_Read(FT_HANDLE ftHandle, FT_PROGRAM_DATA* pData);
FTD2XX_API FT_STATUS FT_EE_Program(FT_HANDLE ftHandle, FT_PROGRAM_DATA* pData);
FTD2XX_API FT_STATUS FT_SetBitMode(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucEnable);
FTD2XX_API FT_STATUS FT_GetBitMode(FT_HANDLE ftHandle, PUCHAR pucMode);
FTD2XX_API FT_STATUS FT_Purge(FT_HANDLE ftHandle, ULONG Mask);
FTD2XX_API FT_STATUS FT_Write(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite,
                              LPDWORD lpBytesWritten);
FTD2XX_API FT_STATUS FT_Read(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead,
                             LPDWORD lpBytesReturned);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
// The layouts must match the vendor's library byte for byte.
static_assert(sizeof(DWORD) == 4 && sizeof(ULONG) == 4 && sizeof(WORD) == 2, "WinTypes widths");
static_assert(sizeof(FT_HANDLE) == 8, "FT_HANDLE is a pointer");
static_assert(sizeof(FT_DEVICE_LIST_INFO_NODE) == 104, "FT_DEVICE_LIST_INFO_NODE size");
static_assert(offsetof(FT_DEVICE_LIST_INFO_NODE, Type) == 4, "Type offset");
static_assert(offsetof(FT_DEVICE_LIST_INFO_NODE, ID) == 8, "ID offset");
static_assert(offsetof(FT_DEVICE_LIST_INFO_NODE, LocId) == 12, "LocId offset");
static_assert(offsetof(FT_DEVICE_LIST_INFO_NODE, SerialNumber) == 16, "SerialNumber offset");
static_assert(offsetof(FT_DEVICE_LIST_INFO_NODE, Description) == 32, "Description offset");
static_assert(offsetof(FT_DEVICE_LIST_INFO_NODE, ftHandle) == 96, "ftHandle offset");
static_assert(sizeof(FT_PROGRAM_DATA) == 176, "FT_PROGRAM_DATA size");
static_assert(alignof(FT_PROGRAM_DATA) == 8, "FT_PROGRAM_DATA alignment");
static_assert(offsetof(FT_PROGRAM_DATA, VendorId) == 12, "VendorId offset");
static_assert(offsetof(FT_PROGRAM_DATA, Manufacturer) == 16, "Manufacturer offset");
static_assert(offsetof(FT_PROGRAM_DATA, ManufacturerId) == 24, "ManufacturerId offset");
static_assert(offsetof(FT_PROGRAM_DATA, Description) == 32, "Description offset");
static_assert(offsetof(FT_PROGRAM_DATA, SerialNumber) == 40, "SerialNumber offset");
static_assert(offsetof(FT_PROGRAM_DATA, MaxPower) == 48, "MaxPower offset");
static_assert(offsetof(FT_PROGRAM_DATA, Rev4) == 56, "Rev4 offset");
static_assert(offsetof(FT_PROGRAM_DATA, USBVersion) == 62, "USBVersion offset");
static_assert(offsetof(FT_PROGRAM_DATA, Rev5) == 64, "Rev5 offset");
static_assert(offsetof(FT_PROGRAM_DATA, USBVersion5) == 72, "USBVersion5 offset");
static_assert(offsetof(FT_PROGRAM_DATA, UseExtOsc) == 84, "Rev6 offset");
static_assert(offsetof(FT_PROGRAM_DATA, Cbus0) == 97, "Cbus0 offset");
static_assert(offsetof(FT_PROGRAM_DATA, RIsD2XX) == 102, "RIsD2XX offset");
static_assert(offsetof(FT_PROGRAM_DATA, PullDownEnable7) == 103, "Rev7 offset");
static_assert(offsetof(FT_PROGRAM_DATA, PowerSaveEnable) == 125, "PowerSaveEnable offset");
static_assert(offsetof(FT_PROGRAM_DATA, PullDownEnable8) == 126, "Rev8 offset");
static_assert(offsetof(FT_PROGRAM_DATA, PullDownEnableH) == 148, "Rev9 offset");
static_assert(offsetof(FT_PROGRAM_DATA, PowerSaveEnableH) == 174, "PowerSaveEnableH offset");
#endif

#endif  // FTD2XX_H
